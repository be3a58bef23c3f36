#include "stack/SiteFolders.h"

#include "stack/ApacheConfig.h"
#include "stack/RequestGuards.h"

#include <cctype>
#include <cstdio>

namespace Corvala
{

// What a name under .localhost without a site folder is told.
static constexpr char NoSiteText[] =
    "No site here: this address names no folder of www. Each folder of www whose name is made of "
    "lower-case letters, digits and hyphens is a site of its own at http://&lt;folder&gt;.localhost, "
    "with the port of the main site.";

// A text as a Lua string literal: every byte but the plainest as a decimal escape, so no path
// can end the string or the block.
static std::string LuaString(const std::string &text)
{
  std::string literal = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || c == '/' || c == '.' || c == '-' || c == '_') {
      literal += c;
    } else {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\%03u", byte);
      literal += escape;
    }
  }
  return literal + "\"";
}

std::string SiteFolderRules(const TStackSetup &setup)
{
  const std::string webRoot = ApacheDocumentRoot(setup);
  std::string tools;
  for (const std::string &path : StackToolPaths())
    tools += (tools.empty() ? "" : ", ") + ("[" + LuaString(path.substr(1)) + "] = true");
  std::string text;
  const auto line = [&text](const std::string &directive) { text += directive + '\n'; };
  line("LoadModule lua_module mod_lua.so");
  // Every request passes the hook: each worker (one thread under prefork) keeps its interpreter
  // for its life rather than making one a request, about a tenth of a millisecond each. ("server",
  // a pool of interpreters, loses the hook's function in this release.)
  line("LuaScope thread");
  // Translation hooks run after mod_rewrite's, which decide first. Apache has already lower-cased
  // the host and taken "." and ".." out of the path; the site's root becomes the request's document
  // root, so Apache maps the path, PHP's DOCUMENT_ROOT and SCRIPT_NAME and the site's own .htaccess
  // rewrites all work from it.
  line("<LuaHookTranslateName corvala_site_folder>");
  line("local web_root = " + LuaString(webRoot));
  line("local tools = {" + tools + "}");
  line("local function is_label(name)");
  line("  return #name <= 63 and (name:match(\"^[a-z0-9]$\") or "
       "name:match(\"^[a-z0-9][a-z0-9-]*[a-z0-9]$\")) ~= nil");
  line("end");
  line("function corvala_site_folder(r)");
  line("  local name = string.lower(r.hostname or \"\"):match(\"^(.+)%.localhost$\")");
  line("  if not name then return apache2.DECLINED end");
  line("  local root = web_root .. \"/\" .. name");
  line("  local folder = is_label(name) and not tools[name] and r:stat(root)");
  line("  if not folder or folder.filetype ~= 2 then");
  line("    r:custom_response(404, " + LuaString(NoSiteText) + ")");
  line("    return 404");
  line("  end");
  line("  local front = r:stat(root .. \"/public/index.php\")");
  line("  if front and front.filetype == 1 then root = root .. \"/public\" end");
  line("  r:set_document_root(root)");
  line("  r:set_context_info(\"\", root)");
  line("  return apache2.DECLINED");
  line("end");
  line("</LuaHookTranslateName>");
  return text;
}

} // namespace Corvala
