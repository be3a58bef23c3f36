#include "stack/ApacheConfig.h"

#include "base/Quoting.h"
#include "config/ConfigFile.h"
#include "files/FileTree.h"
#include "stack/BinFolder.h"
#include "stack/PrivateFiles.h"
#include "stack/RequestGuards.h"
#include "stack/SiteFolders.h"
#include "stack/SiteKeyRules.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace Corvala
{

// Apache reads a quoted argument up to the next unescaped quote, turns "\\" into "\" and "\"" into
// '"' inside it, and expands "${NAME}" anywhere in a line: backslashes and quotes are escaped, and
// what cannot be escaped is refused.
std::string QuotedArgument(const std::string &path)
{
  if (path.find_first_of("\r\n") != std::string::npos || path.find("${") != std::string::npos)
    throw std::runtime_error("The path \"" + path + "\" cannot be used in the Apache configuration");
  return Base::BackslashQuoted(path, '"');
}

std::string ApacheListenAddress(const std::string &ip)
{
  return ip == LoopbackAddress ? LoopbackAddress : "0.0.0.0";
}

bool ServesWebRootCopy(const TStackSetup &setup)
{
  return setup.isCdRom && setup.copyFilesToHardDisk;
}

std::string ApacheDocumentRoot(const TStackSetup &setup)
{
  return ServesWebRootCopy(setup) ? setup.workFolder + "/www" : setup.appPath + "www";
}

std::string ApacheConfigText(const TStackSetup &setup)
{
  const std::string &work = setup.workFolder;
  const std::string documentRoot = QuotedArgument(ApacheDocumentRoot(setup));
  std::string text;
  const auto line = [&text](const std::string &directive) { text += directive + '\n'; };

  line("ServerRoot " + QuotedArgument(setup.binFolder + "/Apache"));
  line("PidFile " + QuotedArgument(work + "/httpd.pid"));
  line("ErrorLog " + QuotedArgument(work + "/error.log"));
  line("Listen " + ApacheListenAddress(setup.ip) + ":" + std::to_string(setup.apachePort));
  line("ServerName 127.0.0.1");
  line("DocumentRoot " + documentRoot);
  line("DirectoryIndex index.php index.html index.htm index.php5 index.php4 index.php3 defult.htm "
       "default.html");
  line("TypesConfig mime.types");
  line("UseCanonicalName Off");
  line("LoadModule php_module " + QuotedArgument(setup.binFolder + "/php/libphp.so"));
  line("AddType application/x-httpd-php .php");
  line("LoadModule rewrite_module mod_rewrite.so");

  // The modules a Windows build has compiled in; Apache loads modules before it reads the
  // directives that need them, so they may follow.
  line("LoadModule mpm_prefork_module mod_mpm_prefork.so");
  line("LoadModule mime_module mod_mime.so");
  line("LoadModule dir_module mod_dir.so");
  line("LoadModule authz_core_module mod_authz_core.so");
  // Apache refuses to serve as root; its workers change to this user.
  if (setup.runningAsRoot) {
    line("User nobody");
    line("Group nogroup");
  }
  // Sites bring their own .htaccess rules (rewrites mostly).
  line("<Directory />");
  line("AllowOverride None");
  line("</Directory>");
  line("<Directory " + documentRoot + ">");
  line("AllowOverride All");
  line("</Directory>");
  // The guards first: when both refuse a request, the page of the key's rules is the one shown.
  text += RequestGuardRules(setup);
  text += SiteFolderRules(setup);
  if (!setup.siteKey.empty())
    text += SiteKeyRules(setup.siteKey, setup.workFolder);
  return text;
}

static void WriteWholeFile(const std::string &path, const std::string &text)
{
  const auto fail = [&path](int error) {
    throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(error));
  };
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0)
    fail(errno);
  const auto failOpen = [fd, &fail](int error) {
    close(fd);
    fail(error);
  };
  // An older file keeps its mode through O_TRUNC; this one is private either way.
  if (fchmod(fd, 0600) != 0)
    failOpen(errno);
  for (size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      failOpen(n < 0 ? errno : EIO);
    done += static_cast<size_t>(n);
  }
  if (close(fd) != 0)
    fail(errno);
}

std::string WriteApacheConfig(const TStackSetup &setup)
{
  std::string path = setup.workFolder + "/httpd.conf";
  if (ServesWebRootCopy(setup)) {
    CopyFromDisc(setup.appPath + "www", setup.workFolder);
    Files::SetTreeReadOnly(setup.workFolder + "/www", false);
  }
  if (!setup.siteKey.empty()) {
    WriteWholeFile(ServerPeerScriptPath(setup.workFolder),
                   ServerPeerScript(setup.binFolder + "/Apache/Apache", setup.apachePort));
    const std::string landing = SiteKeyLandingPath(setup.workFolder);
    WriteWholeFile(landing, SiteKeyLandingPage);
    ShareFileWithWorkers(landing, setup.runningAsRoot);
  }
  WriteWholeFile(path, ApacheConfigText(setup));
  return path;
}

} // namespace Corvala
