#include "stack/PhpConfig.h"

#include "stack/MySqlConfig.h"

#include "files/Paths.h"
#include "ini/Ini.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace Corvala
{

std::string PhpQuoted(const std::string &text)
{
  if (text.find_first_of("\r\n") != std::string::npos)
    throw std::runtime_error("The text \"" + text + "\" cannot be written into php.ini");
  std::string quoted = "\"";
  for (const char c : text) {
    // PHP expands "${...}" inside double quotes; an escaped '$' stays literal.
    if (c == '\\' || c == '"' || c == '$')
      quoted += '\\';
    quoted += c;
  }
  return quoted + '"';
}

// PHP runs sendmail_path through the shell.
static std::string ShellWord(const std::string &text)
{
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           std::string_view("/._+-,:@%=").find(c) != std::string_view::npos;
  });
  if (plain)
    return text;
  std::string word = "'";
  for (const char c : text)
    word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string SendmailPathValue(const std::string &sendmailPath)
{
  return PhpQuoted(ShellWord(sendmailPath) + " -t");
}

std::vector<TPhpIniSetting> PhpIniSettings(const TStackSetup &setup, const std::string &sendmailPath)
{
  const std::string php = setup.binFolder + "/php";
  const std::string port = std::to_string(setup.mySqlPort);
  const std::string socket = PhpQuoted(setup.workFolder + "/" + MySqlSocketName);
  return {
      {"PHP", "extension_dir", PhpQuoted(php + "/ext")},
      {"PHP", "mime_magic.magicfile", PhpQuoted(php + "/ext/magic.mime")},
      {"MySQL", "mysql.default_port", port},
      {"mail function", "sendmail_path", SendmailPathValue(sendmailPath)},
      // mysqli and PDO ignore mysql.default_port; without these they reach whatever holds 3306.
      {"MySQLi", "mysqli.default_port", port},
      {"MySQLi", "mysqli.default_socket", socket},
      {"Pdo_mysql", "pdo_mysql.default_socket", socket},
      {"Session", "session.save_path", PhpQuoted(setup.workFolder + "/sessions")},
  };
}

std::string IonCubeLoaderPath(const std::string &binFolder)
{
  return binFolder + "/php/ionCube/ioncube_loader_lin_" CORVALA_PHP_VERSION ".so";
}

std::vector<TPhpIniSetting> OpcacheSettings(const std::string &opcacheFile, bool loadLine, bool production)
{
  std::vector<TPhpIniSetting> settings;
  if (loadLine)
    settings.push_back({"opcache", "zend_extension", PhpQuoted(opcacheFile)});
  // Development: every request checks the script's time stamp, so an edit shows at the next
  // request, and the shared memory is sized for phpMyAdmin (about 1,400 scripts) and a site of the
  // same size. Production: PHP's own defaults, which php.ini-production keeps: a time stamp checked
  // at most every 2 seconds, and room for a large application.
  const std::vector<std::pair<std::string, std::string>> values = {
      {"opcache.enable", "1"},
      {"opcache.enable_cli", "0"},
      {"opcache.validate_timestamps", "1"},
      {"opcache.revalidate_freq", production ? "2" : "0"},
      // A script changed in the last 2 seconds is not cached, so two edits within one second of
      // time stamp are not mistaken for one.
      {"opcache.file_update_protection", "2"},
      {"opcache.memory_consumption", production ? "128" : "64"},
      {"opcache.interned_strings_buffer", "8"},
      {"opcache.max_accelerated_files", production ? "10000" : "4000"},
      // Compiled scripts live in the servers' memory only, nothing is left on disk.
      {"opcache.file_cache", ""},
  };
  for (const auto &[key, value] : values)
    settings.push_back({"opcache", key, value});
  return settings;
}

bool IsXdebugOn(const std::string &value)
{
  return value == "1";
}

std::vector<TPhpIniSetting> XdebugSettings(const std::string &xdebugFile)
{
  return {
      {"xdebug", "zend_extension", PhpQuoted(xdebugFile)},
      {"xdebug", "xdebug.mode", "debug"},
      // Only a request that asks for the debugger connects; every other one runs undisturbed.
      {"xdebug", "xdebug.start_with_request", "trigger"},
      {"xdebug", "xdebug.client_host", "127.0.0.1"},
      {"xdebug", "xdebug.client_port", "9003"},
  };
}

std::string PhpIniTemplate(const TStackSetup &setup)
{
  const std::string php = setup.binFolder + "/php";
  // A tree from a kit without the production file keeps running on the one it has.
  if (setup.brand && Files::FileExists(php + "/php.ini-production"))
    return php + "/php.ini-production";
  return php + "/php.ini";
}

static std::string Lower(std::string text)
{
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Extensions others build on: each must be loaded before its dependants.
static int LoadRank(const std::string &name)
{
  static const std::vector<std::string> bases = {"mysqlnd", "pdo", "xml"};
  const auto found = std::find(bases.begin(), bases.end(), name);
  return static_cast<int>(found - bases.begin());
}

Base::TStringArray PhpExtensionLines(const Base::TStringArray &soFiles,
                                     const Base::TStringArray &alreadyLoaded)
{
  Base::TStringArray files;
  for (const auto &file : soFiles) {
    const std::string name = Lower(fs::path(file).stem().string());
    const bool loaded = std::find(alreadyLoaded.begin(), alreadyLoaded.end(), name) != alreadyLoaded.end();
    // A name is written bare into php.ini, so only plain file names are taken.
    const bool plain = std::all_of(file.begin(), file.end(), [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.';
    });
    // readline serves the command-line PHP only; opcache and xdebug are Zend extensions, opcache
    // loaded with its own settings and xdebug (a debugger slowing every request) never by default.
    const bool skipped = name == "readline" || name == "opcache" || name == "xdebug";
    if (plain && fs::path(file).extension() == ".so" && !skipped && !loaded)
      files.push_back(file);
  }
  std::sort(files.begin(), files.end(), [](const std::string &a, const std::string &b) {
    const std::string nameA = Lower(fs::path(a).stem().string());
    const std::string nameB = Lower(fs::path(b).stem().string());
    return std::pair(LoadRank(nameA), nameA) < std::pair(LoadRank(nameB), nameB);
  });
  Base::TStringArray lines;
  for (const auto &file : files)
    lines.push_back("extension=" + file);
  return lines;
}

static std::string Trimmed(const std::string &text)
{
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos)
    return {};
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

// Names of the extensions an active extension= or zend_extension= line of the file loads.
static Base::TStringArray LoadedExtensions(const std::string &iniPath)
{
  Base::TStringArray names;
  std::ifstream in(iniPath);
  for (std::string line; std::getline(in, line);) {
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
      continue;
    const std::string key = Lower(Trimmed(line.substr(0, equals)));
    if (key != "extension" && key != "zend_extension")
      continue;
    std::string value = Trimmed(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    std::string name = Lower(fs::path(value).filename().string());
    if (name.ends_with(".so"))
      name.resize(name.size() - 3);
    if (name.starts_with("php_"))
      name.erase(0, 4);
    names.push_back(name);
  }
  return names;
}

static Base::TStringArray ExtensionFiles(const std::string &extFolder)
{
  Base::TStringArray files;
  std::error_code error;
  for (const auto &entry : fs::directory_iterator(extFolder, error))
    if (entry.is_regular_file(error))
      files.push_back(entry.path().filename().string());
  return files;
}

static void AppendExtensionLines(const std::string &iniPath, const Base::TStringArray &lines)
{
  if (lines.empty())
    return;
  std::string text;
  {
    std::ifstream in(iniPath, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::ofstream out(iniPath, std::ios::binary | std::ios::app);
  if (!text.empty() && text.back() != '\n')
    out << "\r\n";
  // A section of their own keeps them out of a path-scoped section the template may end with.
  out << "[Extensions]\r\n";
  for (const auto &line : lines)
    out << line << "\r\n";
  if (!out.flush())
    throw std::runtime_error("Unable to write to " + iniPath);
}

// The folder for PHP's session files; as root Apache's workers run as nobody and need it.
static void PrepareSessionFolder(const TStackSetup &setup)
{
  const std::string folder = setup.workFolder + "/sessions";
  mkdir(folder.c_str(), 0700);
  if (!setup.runningAsRoot)
    return;
  const passwd *user = getpwnam("nobody");
  const group *users = getgrnam("nogroup");
  if (user != nullptr && users != nullptr)
    static_cast<void>(chown(folder.c_str(), user->pw_uid, users->gr_gid));
}

std::string WritePhpConfig(const TStackSetup &setup)
{
  std::string path = setup.workFolder + "/php.ini";
  const std::string php = setup.binFolder + "/php";
  std::error_code ignored;
  fs::copy_file(PhpIniTemplate(setup), path, fs::copy_options::overwrite_existing, ignored);
  // Private, and writable even when copied from a CD.
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, ignored);

  // A missing mail program is named as empty, as its short name would be.
  const std::string sendmail = Files::ExpandFromAppDir(setup.binFolder + "/Apache/sendmail");
  std::vector<TPhpIniSetting> settings =
      PhpIniSettings(setup, Files::FileExists(sendmail) ? sendmail : std::string());
  const Base::TStringArray loaded = LoadedExtensions(path);
  // PHP loads Zend extensions in the order of their lines and ionCube's loader must come first:
  // its line goes into [PHP], the file's first section, ahead of opcache's and Xdebug's.
  const std::string loader = IonCubeLoaderPath(setup.binFolder);
  const std::string loaderName = Lower(fs::path(loader).stem().string());
  if (Files::FileExists(loader) && std::find(loaded.begin(), loaded.end(), loaderName) == loaded.end())
    settings.push_back({"PHP", "zend_extension", PhpQuoted(loader)});
  // Without opcache (a down-sized tree) every request compiles its scripts again, as before.
  const std::string opcache = php + "/ext/opcache.so";
  if (Files::FileExists(opcache)) {
    const bool loadLine = std::find(loaded.begin(), loaded.end(), "opcache") == loaded.end();
    for (const auto &setting : OpcacheSettings(opcache, loadLine, setup.brand))
      settings.push_back(setting);
  }
  // Loaded after opcache, as Xdebug wants to be.
  const std::string xdebug = php + "/ext/xdebug.so";
  if (setup.xdebug && Files::FileExists(xdebug))
    for (const auto &setting : XdebugSettings(xdebug))
      settings.push_back(setting);
  Ini::WriteGeneratedIni(path, settings);

  PrepareSessionFolder(setup);
  AppendExtensionLines(path, PhpExtensionLines(ExtensionFiles(php + "/ext"), LoadedExtensions(path)));
  return path;
}

} // namespace Corvala
