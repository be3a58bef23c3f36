#include "stack/SiteKeyRules.h"

#include "stack/ApacheConfig.h"
#include "stack/PrivateMode.h"

#include <cstdio>
#include <stdexcept>

namespace Corvala
{

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
  // among its descriptors. Apache starts this program itself, so its parent is the Apache the
  // launcher started, and that Apache's workers are its other children: another account running
  // the same program file is nobody's child here.
  char server[32];
  std::snprintf(server, sizeof server, "0100007F:%04X", apachePort);
  return "#!/bin/sh\n"
         "# For each client port of a loopback connection to the site, one a line: \"server\" when "
         "the client is\n"
         "# a worker of this site's Apache (its PHP requesting its own address), else \"none\".\n"
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
         "      parent=$(awk '/^PPid:/ { print $2 }' \"/proc/$pid/status\" 2>/dev/null)\n"
         "      [ \"$parent\" = \"$PPID\" ] && [ \"$(readlink \"/proc/$pid/exe\")\" = \"$apache\" ] && "
         "answer=server\n"
         "    done\n"
         "  fi\n"
         "  echo \"$answer\"\n"
         "done\n";
}

std::string ServerPeerScriptPath(const std::string &workFolder)
{
  return workFolder + "/server-peer.sh";
}

std::string SiteKeyLandingPath(const std::string &workFolder)
{
  return workFolder + "/site-key-landing.html";
}

// A path as the target of a RewriteRule, which reads "$N" and "%N" as references.
static std::string RewriteTarget(const std::string &path)
{
  std::string target;
  for (const char c : path) {
    if (c == '$' || c == '%' || c == '\\')
      target += '\\';
    target += c;
  }
  return QuotedArgument(target);
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
  line("LoadModule headers_module mod_headers.so");
  // The key handed over once in the address becomes a cookie of this browser; the landing page
  // opens the address without it, so it stays out of the history and of what pages see.
  line("RewriteCond %{QUERY_STRING} " + inQuery);
  line("RewriteRule ^ " + RewriteTarget(SiteKeyLandingPath(workFolder)) + " [L,E=corvala_handover:1]");
  line("Header always set Set-Cookie \"" + name + "=" + key +
       "; Path=/; HttpOnly; SameSite=Strict\" env=corvala_handover");
  line("Header always set Cache-Control no-store env=corvala_handover");
  // The site's own PHP requests its own address without the visitor's cookies (WordPress's cron):
  // a loopback client that is one of Apache's own workers is let in.
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

} // namespace Corvala
