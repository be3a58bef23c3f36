#include "stack/ApacheConfig.h"

#include "base/Quoting.h"
#include "config/ConfigFile.h"
#include "files/FileTree.h"
#include "stack/PrivateMode.h"

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
static std::string QuotedArgument(const std::string &path)
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

// What a request without the site's key is told instead of the page.
static constexpr char KeyMissingText[] =
    "This site is open only to the account that started it: open it from that account's launcher. "
    "(The request carried no valid key of this start.)";

// A text as one single-quoted shell word.
static std::string ShellQuoted(const std::string &text)
{
  std::string word = "'";
  for (const char c : text)
    word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

std::string ServerPeerScript(const std::string &apacheExePath, int apachePort)
{
  // /proc/net/tcp gives each socket's addresses as little-endian hexadecimal IPv4 and big-endian
  // hexadecimal port, and its inode in the tenth column; the process holding that inode has it
  // among its descriptors.
  char server[32];
  std::snprintf(server, sizeof server, "0100007F:%04X", apachePort);
  return "#!/bin/sh\n"
         "# For each client port of a loopback connection to the site, one a line: \"server\" when "
         "the client is\n"
         "# a process of this site's Apache (its PHP requesting its own address), else \"none\".\n"
         "apache=$(readlink -f " +
         ShellQuoted(apacheExePath) +
         ")\n"
         "while read -r port; do\n"
         "  answer=none\n"
         "  client=$(printf '0100007F:%04X' \"$port\" 2>/dev/null)\n"
         "  inode=$(awk -v c=\"$client\" '$2 == c && $3 == \"" +
         server +
         "\" { print $10; exit }' /proc/net/tcp)\n"
         "  if [ -n \"$inode\" ]; then\n"
         "    for pid in $(find /proc/[0-9]*/fd -lname \"socket:\\[$inode\\]\" 2>/dev/null | cut -d/ -f3); "
         "do\n"
         "      [ \"$(readlink \"/proc/$pid/exe\")\" = \"$apache\" ] && answer=server\n"
         "    done\n"
         "  fi\n"
         "  echo \"$answer\"\n"
         "done\n";
}

std::string ServerPeerScriptPath(const std::string &workFolder)
{
  return workFolder + "/server-peer.sh";
}

std::string SiteKeyRules(const std::string &key, const std::string &workFolder)
{
  if (key.find_first_not_of("0123456789abcdef") != std::string::npos)
    throw std::runtime_error("The site's key may hold hexadecimal digits only");
  const std::string name = SiteKeyName;
  const std::string inCookie = "(?:^|;\\s*)" + name + "=" + key + "(?:;|$)";
  const std::string inQuery = "(?:^|&)" + name + "=" + key + "(?:&|$)";
  std::string text;
  const auto line = [&text](const std::string &directive) { text += directive + '\n'; };
  // Server-wide rules run before any .htaccess of the site, which can therefore not lift them.
  line("RewriteEngine On");
  // The key handed over once in the address becomes a cookie of this browser, and the address
  // loses it, so it stays out of the history and of what pages see.
  line("RewriteCond %{QUERY_STRING} " + inQuery);
  line("RewriteRule ^ %{REQUEST_URI} [R=303,QSD,L,CO=" + name + ":" + key +
       ":%{SERVER_NAME}:0:/:false:true]");
  // The site's own PHP requests its own address without the visitor's cookies (WordPress's cron):
  // a loopback client that is one of Apache's own processes is let in.
  // Apache splits the program's command line as a shell would, quotes grouping.
  std::string script;
  for (const char c : ServerPeerScriptPath(workFolder)) {
    if (c == '"' || c == '\'')
      script += '\\';
    script += c;
  }
  line("RewriteMap corvala_peer " + QuotedArgument("prg:/bin/sh \"" + script + "\""));
  line("RewriteCond %{HTTP_COOKIE} !" + inCookie);
  line("RewriteCond %{REMOTE_ADDR} !=127.0.0.1 [OR]");
  line("RewriteCond ${corvala_peer:%{REMOTE_PORT}} !=server");
  line("RewriteRule ^ - [F]");
  line("<If \"%{HTTP_COOKIE} !~ /" + inCookie + "/\">");
  line(std::string("ErrorDocument 403 \"") + KeyMissingText);
  line("</If>");
  return text;
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
    Files::CopyFolder(setup.appPath + "www", setup.workFolder);
    Files::SetTreeReadOnly(setup.workFolder + "/www", false);
  }
  if (!setup.siteKey.empty())
    WriteWholeFile(ServerPeerScriptPath(setup.workFolder),
                   ServerPeerScript(setup.binFolder + "/Apache/Apache", setup.apachePort));
  WriteWholeFile(path, ApacheConfigText(setup));
  return path;
}

} // namespace Corvala
