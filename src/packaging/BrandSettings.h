#pragma once

#include "config/ConfigFile.h"

#include <cstdint>
#include <string>

namespace Corvala
{

// The rebrand choices, one field per key of Brand.ini ("brand" aside, which stays "1").
// Flags hold "1" or "0"; IP holds "127.0.0.1" or "all".
struct TBrandSettings {
  std::string SplashFileName;
  std::string Title;
  std::string IconFile;
  std::string Toolbar;
  std::string StatusBar;
  std::string TrayIcon;
  std::string FullScreen;
  std::string IP;
  std::string DataDir;
  std::string SrcDir;
  std::string OutputDir;
  std::string CopyFilesToHardDisk;
  int32_t Port = 0;
};

// Every key of Brand.ini. A "port" that is not a decimal integer throws
// "'%s' is not a valid integer value".
TBrandSettings ReadBrandSettings(const TConfigFile &brandFile);

// Writes the choices back in key order: texts and paths enclosed in double quotes, flags and
// "ip" as they are, "port" in decimal. "brand" is left alone.
void WriteBrandSettings(const TConfigFile &brandFile, const TBrandSettings &settings);

// What the rebrand dialog's controls hold when "Go!" is pressed. A "Yes" flag is the list's
// item 0.
struct TBrandEntries {
  std::string Image;
  std::string Title;
  std::string Icon;
  std::string SrcDir;
  std::string DataDir;
  std::string OutputDir;
  bool Toolbar = true;
  bool StatusBar = true;
  bool TrayIcon = true;
  bool FullScreen = true;
  bool CopyFilesToHardDisk = true;
  bool Loopback = true;
  int32_t Port = 80;
};

// "Go!": every text trimmed of blanks; the title is taken as it is (it may be empty); each path is
// expanded against the launcher's folder and taken only when it names a regular file (image,
// icon) or folder (the three folders), so a placeholder or an empty field keeps the stored value.
void ApplyBrandEntries(TBrandSettings &settings, const TBrandEntries &entries);

// The path a field's text names, trimmed and expanded against the launcher's folder, when it is an
// existing regular file (folder); empty otherwise. An empty text names nothing, although its expansion
// would be the launcher's own folder.
std::string ExistingFileOf(const std::string &text);
std::string ExistingFolderOf(const std::string &text);

// What a path field shows: the path when it names a regular file (or a folder), else the
// placeholder.
std::string FileFieldText(const std::string &path, const std::string &placeholder);
std::string FolderFieldText(const std::string &path, const std::string &placeholder);

// A flag's list item: 1 ("N") exactly when the value is "0", else 0 ("Y").
int FlagItem(const std::string &value);

} // namespace Corvala
