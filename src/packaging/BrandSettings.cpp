#include "packaging/BrandSettings.h"

#include "base/Trim.h"
#include "config/ConfigFile.h"
#include "config/IntegerValue.h"
#include "files/Paths.h"

namespace Corvala
{

namespace
{

std::string Quoted(const std::string &text)
{
  return "\"" + text + "\"";
}

const char *FlagValue(bool yes)
{
  return yes ? "1" : "0";
}

std::string ExistingPath(const std::string &text, bool (*exists)(const std::string &))
{
  const std::string trimmed = Base::TrimBlanks(text);
  if (trimmed.empty())
    return {};
  const std::string path = Files::ExpandFromAppDir(trimmed);
  return exists(path) ? path : std::string();
}

void TakeExisting(std::string &field, const std::string &text, bool (*exists)(const std::string &))
{
  const std::string path = ExistingPath(text, exists);
  if (!path.empty())
    field = path;
}

} // namespace

std::string ExistingFileOf(const std::string &text)
{
  return ExistingPath(text, Files::RegularFileExists);
}

std::string ExistingFolderOf(const std::string &text)
{
  return ExistingPath(text, Files::DirectoryExists);
}

TBrandSettings ReadBrandSettings(const TConfigFile &brandFile)
{
  TBrandSettings s;
  s.SplashFileName = brandFile.Read("splashfilename");
  s.Title = brandFile.Read("title");
  s.IconFile = brandFile.Read("iconfile");
  s.Toolbar = brandFile.Read("toolbar");
  s.StatusBar = brandFile.Read("statusbar");
  s.TrayIcon = brandFile.Read("trayicon");
  s.FullScreen = brandFile.Read("fullscreen");
  s.IP = brandFile.Read("ip");
  s.Port = StrToInt(brandFile.Read("port"));
  s.DataDir = brandFile.Read("datadir");
  s.SrcDir = brandFile.Read("srcdir");
  s.OutputDir = brandFile.Read("outputdir");
  s.CopyFilesToHardDisk = brandFile.Read("copyfilestoharddisk");
  return s;
}

void WriteBrandSettings(const TConfigFile &brandFile, const TBrandSettings &s)
{
  brandFile.Write("splashfilename", Quoted(s.SplashFileName));
  brandFile.Write("title", Quoted(s.Title));
  brandFile.Write("iconfile", Quoted(s.IconFile));
  brandFile.Write("toolbar", s.Toolbar);
  brandFile.Write("statusbar", s.StatusBar);
  brandFile.Write("trayicon", s.TrayIcon);
  brandFile.Write("fullscreen", s.FullScreen);
  brandFile.Write("ip", s.IP);
  brandFile.Write("port", std::to_string(s.Port));
  brandFile.Write("datadir", Quoted(s.DataDir));
  brandFile.Write("srcdir", Quoted(s.SrcDir));
  brandFile.Write("outputdir", Quoted(s.OutputDir));
  brandFile.Write("copyfilestoharddisk", s.CopyFilesToHardDisk);
}

void ApplyBrandEntries(TBrandSettings &s, const TBrandEntries &e)
{
  TakeExisting(s.SplashFileName, e.Image, Files::RegularFileExists);
  s.Title = Base::TrimBlanks(e.Title);
  TakeExisting(s.IconFile, e.Icon, Files::RegularFileExists);
  s.Toolbar = FlagValue(e.Toolbar);
  s.StatusBar = FlagValue(e.StatusBar);
  s.TrayIcon = FlagValue(e.TrayIcon);
  s.FullScreen = FlagValue(e.FullScreen);
  s.CopyFilesToHardDisk = FlagValue(e.CopyFilesToHardDisk);
  s.IP = e.Loopback ? LoopbackAddress : "all";
  s.Port = e.Port;
  TakeExisting(s.DataDir, e.DataDir, Files::DirectoryExists);
  TakeExisting(s.SrcDir, e.SrcDir, Files::DirectoryExists);
  TakeExisting(s.OutputDir, e.OutputDir, Files::DirectoryExists);
}

std::string FileFieldText(const std::string &path, const std::string &placeholder)
{
  return Files::RegularFileExists(path) ? path : placeholder;
}

std::string FolderFieldText(const std::string &path, const std::string &placeholder)
{
  return Files::DirectoryExists(path) ? path : placeholder;
}

int FlagItem(const std::string &value)
{
  return value == "0" ? 1 : 0;
}

} // namespace Corvala
