#include "packaging/DesktopEntry.h"

#include "digest/Md5.h"
#include "files/FileIO.h"
#include "files/FileTree.h"
#include "files/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Files;
using namespace Digest;

namespace Corvala
{

namespace
{

// The keys by which our own entries are known and undone.
constexpr char ProgramKey[] = "X-Corvala-Program=";
constexpr char FilesKey[] = "X-Corvala-Files=";
constexpr char TitleKey[] = "X-Corvala-Title=";
constexpr char FilePrefix[] = "corvala-";

// The sizes the hicolor theme has folders for.
const std::set<int> HicolorSizes = {16, 22, 24, 32, 36, 48, 64, 72, 96, 128, 192, 256, 512};

void MakeFolders(const std::string &folder)
{
  for (size_t pos = folder.find('/', 1);; pos = folder.find('/', pos + 1)) {
    const std::string part = folder.substr(0, pos);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
      throw std::runtime_error("Cannot create the folder \"" + part + "\": " + strerror(errno));
    if (pos == std::string::npos)
      break;
  }
}

// A desktop file's string value: backslash and line ends escaped.
std::string StringValue(const std::string &text)
{
  std::string value;
  for (const char c : text) {
    if (c == '\\')
      value += "\\\\";
    else if (c == '\n')
      value += "\\n";
    else if (c == '\r')
      value += "\\r";
    else
      value += c;
  }
  return value;
}

std::string UnescapedValue(const std::string &value)
{
  std::string text;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      text += value[i];
      continue;
    }
    const char next = value[++i];
    text += next == 'n' ? '\n' : next == 'r' ? '\r' : next == 's' ? ' ' : next == 't' ? '\t' : next;
  }
  return text;
}

// The value of a key of our own in a .desktop file's text; empty when absent.
std::string KeyValue(const std::string &text, const std::string &key)
{
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    if (line.starts_with(key))
      return UnescapedValue(line.substr(key.size()));
  return {};
}

std::vector<std::string> SplitList(const std::string &value)
{
  std::vector<std::string> items;
  std::string item;
  for (const char c : value) {
    if (c == ';') {
      if (!item.empty())
        items.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty())
    items.push_back(item);
  return items;
}

// Our entries, each as its file and text.
std::vector<std::pair<std::string, std::string>> OwnEntries()
{
  std::vector<std::pair<std::string, std::string>> entries;
  const std::string folder = DesktopDataFolder() + "/applications";
  for (const std::string &name : ListEntryNames(folder)) {
    if (!name.starts_with(FilePrefix) || !name.ends_with(".desktop"))
      continue;
    const std::string file = folder + "/" + name;
    try {
      std::string text = LoadFileToString(file);
      if (text.find(ProgramKey) != std::string::npos)
        entries.emplace_back(file, std::move(text));
    } catch (const std::exception &) {
      // An entry that cannot be read is none we can undo.
    }
  }
  return entries;
}

} // namespace

std::string DesktopDataFolder()
{
  const char *data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/')
    return data;
  const char *home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/')
    throw std::runtime_error("Neither XDG_DATA_HOME nor HOME names a folder for the applications menu");
  return std::string(home) + "/.local/share";
}

std::string DesktopExecValue(const std::string &programPath)
{
  // Quoted as an argument of the Exec key, then escaped as a string value.
  std::string quoted = "\"";
  for (const char c : programPath) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    quoted += c == '%' ? std::string("%%") : std::string(1, c);
  }
  quoted += '"';
  return StringValue(quoted);
}

TDesktopEntryLookup FindDesktopEntry(const std::string &programPath, const std::string &title)
{
  TDesktopEntryLookup stale;
  for (const auto &[file, text] : OwnEntries()) {
    const std::string program = KeyValue(text, ProgramKey);
    if (program == programPath)
      return {TDesktopEntryState::Present, file, {}};
    if (stale.File.empty() && KeyValue(text, TitleKey) == title && !FileExists(program))
      stale = {TDesktopEntryState::Stale, file, program};
  }
  return stale;
}

std::string WriteDesktopEntry(const TDesktopProgram &program)
{
  const std::string data = DesktopDataFolder();
  // One entry per program path: another tree of the same title gets its own.
  const std::string id = FilePrefix + Md5Hex(program.ProgramPath).substr(0, 12);
  std::string desktopFile = data + "/applications/" + id + ".desktop";
  std::vector<std::string> written;
  try {
    for (const auto &[size, png] : program.Icons) {
      if (!HicolorSizes.contains(size))
        continue;
      const std::string folder =
          data + "/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) + "/apps";
      MakeFolders(folder);
      written.push_back(folder + "/" + id + ".png");
      SaveStringToFile(written.back(), png);
      chmod(written.back().c_str(), 0644);
    }
    std::string files;
    for (const std::string &file : written)
      files += file + ";";
    const std::string text = "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Version=1.4\n"
                             "Name=" +
                             StringValue(program.Title.empty() ? "Corvala" : program.Title) +
                             "\n"
                             "Comment=Local web site with its own servers\n"
                             "Exec=" +
                             DesktopExecValue(program.ProgramPath) + "\n" +
                             (written.empty() ? "" : "Icon=" + id + "\n") +
                             "Terminal=false\n"
                             "Categories=Development;WebDevelopment;\n"
                             "StartupNotify=false\n" +
                             ProgramKey + StringValue(program.ProgramPath) + "\n" + TitleKey +
                             StringValue(program.Title) + "\n" + FilesKey + StringValue(files) + "\n";
    MakeFolders(data + "/applications");
    written.push_back(desktopFile);
    SaveStringToFile(desktopFile, text);
    chmod(desktopFile.c_str(), 0644);
  } catch (...) {
    for (const std::string &file : written)
      unlink(file.c_str());
    throw;
  }
  return desktopFile;
}

void RemoveDesktopEntry(const std::string &desktopFile)
{
  const std::string text = LoadFileToString(desktopFile);
  if (text.find(ProgramKey) == std::string::npos)
    throw std::runtime_error("\"" + desktopFile + "\" is no applications menu entry of this program");
  for (const std::string &file : SplitList(KeyValue(text, FilesKey)))
    if (unlink(file.c_str()) != 0 && errno != ENOENT)
      throw std::runtime_error("Cannot delete \"" + file + "\": " + strerror(errno));
  if (unlink(desktopFile.c_str()) != 0)
    throw std::runtime_error("Cannot delete \"" + desktopFile + "\": " + strerror(errno));
}

} // namespace Corvala
