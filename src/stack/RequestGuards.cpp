#include "stack/RequestGuards.h"

#include "config/ConfigFile.h"
#include "stack/ApacheConfig.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace Corvala
{

// What a request for a name the site does not answer to is told. Apache reads the text as an
// expression, so it holds no percent sign, backslash or double quote.
static constexpr char UnknownHostText[] =
    "This site answers only to the names of this computer (127.0.0.1, localhost and names ending in "
    ".localhost), so that a page of another site cannot reach it under a name of its own. To let it "
    "answer to another name, add that name to the allowedhosts key of Config.ini (names separated by "
    "blanks).";

static constexpr char CrossSiteText[] =
    "This change came from a page of another site. The stack's own tools take changes only from their "
    "own pages: open the tool itself and make the change there.";

static bool IsHostName(const std::string &name)
{
  if (name.empty() || name.size() > 253 || name.front() == '.' || name.back() == '.' ||
      name.find("..") != std::string::npos)
    return false;
  return std::all_of(name.begin(), name.end(),
                     [](unsigned char c) { return std::isalnum(c) != 0 || c == '-' || c == '.'; });
}

std::vector<std::string> ParseAllowedHosts(const std::string &value)
{
  std::vector<std::string> names;
  std::string name;
  const auto take = [&names, &name] {
    if (name.empty())
      return;
    if (!IsHostName(name))
      throw std::runtime_error("Config.ini's \"" + std::string(AllowedHostsKey) + "\" holds \"" + name +
                               "\", which is not a host name");
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    names.push_back(name);
    name.clear();
  };
  for (const char c : value) {
    if (c == ' ' || c == '\t' || c == ',')
      take();
    else
      name += c;
  }
  take();
  return names;
}

static std::string Escaped(const std::string &name)
{
  std::string pattern;
  for (const char c : name) {
    if (c == '.')
      pattern += '\\';
    pattern += c;
  }
  return pattern;
}

std::string AllowedHostPattern(const TStackSetup &setup)
{
  std::vector<std::string> alternatives{"127\\.0\\.0\\.1", "localhost", "\\[::1\\]",
                                        "(?:[a-z0-9-]+\\.)+localhost"};
  std::vector<std::string> names = setup.allowedHosts;
  if (ApacheListenAddress(setup.ip) != LoopbackAddress) {
    // Other computers reach the site by this computer's address or one of its names.
    alternatives.emplace_back("[0-9]{1,3}(?:\\.[0-9]{1,3}){3}");
    alternatives.emplace_back("\\[[0-9a-f:.]+\\]");
    names.insert(names.end(), setup.machineNames.begin(), setup.machineNames.end());
  }
  for (const std::string &name : names)
    if (IsHostName(name))
      alternatives.push_back(Escaped(name));
  std::string pattern = "^(?:";
  for (size_t i = 0; i < alternatives.size(); ++i)
    pattern += (i == 0 ? "" : "|") + alternatives[i];
  return pattern + ")(?::[0-9]+)?$";
}

std::string RequestGuardRules(const TStackSetup &setup)
{
  std::string text;
  const auto line = [&text](const std::string &directive) { text += directive + '\n'; };
  line("RewriteEngine On");
  // A browser always sends the name it was given; a request without one (HTTP/1.0) is no page's.
  line("RewriteCond %{HTTP_HOST} !" + AllowedHostPattern(setup) + " [NC]");
  line("RewriteCond %{HTTP_HOST} !^$");
  line("RewriteRule ^ - [R=421,L]");
  line(std::string("ErrorDocument 421 \"") + UnknownHostText + "\"");

  std::string tools;
  for (const std::string &path : StackToolPaths())
    tools += (tools.empty() ? "" : "|") + Escaped(path);
  // Browsers send Origin with every cross-origin write and Sec-Fetch-Site with every request; a
  // page can take neither away, and the site's own pages send their own origin. <If> sections are
  // merged after every .htaccess, so a site's own rules cannot lift this one.
  line("<If \"!(%{REQUEST_METHOD} in {'GET', 'HEAD'}) && %{REQUEST_URI} =~ m#^(?:" + tools +
       ")(?:/|$)#i && tolower(%{HTTP:Origin}) != tolower('http://' . %{HTTP_HOST}) && "
       "!(tolower(%{HTTP:Sec-Fetch-Site}) in {'same-origin', 'none'}) && "
       "(-n %{HTTP:Origin} || -n %{HTTP:Sec-Fetch-Site})\">");
  line("Require all denied");
  line(std::string("ErrorDocument 403 \"") + CrossSiteText + "\"");
  line("</If>");
  return text;
}

} // namespace Corvala
