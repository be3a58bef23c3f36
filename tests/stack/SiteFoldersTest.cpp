#include "RealApache.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace Corvala;
using namespace TestSupport;
namespace fs = std::filesystem;

namespace
{

// The body of a response, after its header.
std::string BodyOf(const std::string &response)
{
  const size_t blank = response.find("\r\n\r\n");
  return blank == std::string::npos ? std::string() : response.substr(blank + 4);
}

// A stack whose web root holds a main page, a plain site folder and a site with a front controller
// in public/ routing every path that is no file, as frameworks lay them out.
class RealApacheSites : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!RealApache::Installed())
      GTEST_SKIP() << "Apache with PHP is not installed";
    setup = RealApache::LinkedStackIn(root);
    www = root.File("www");
    root.Write("www/index.php", "<?php echo 'main-page ', $_SERVER['SCRIPT_NAME'];");
    root.Write("www/app/index.php",
               "<?php echo 'app SCRIPT_NAME=', $_SERVER['SCRIPT_NAME'], ' DOCUMENT_ROOT=', "
               "$_SERVER['DOCUMENT_ROOT'], ' ', $_SERVER['REQUEST_METHOD'];");
    root.Write("www/app/style.css", "p { color: teal }\n");
    root.Write("www/app/docs/index.html", "docs\n");
    root.Write("www/lara/public/index.php",
               "<?php echo 'front SCRIPT_NAME=', $_SERVER['SCRIPT_NAME'], ' REQUEST_URI=', "
               "$_SERVER['REQUEST_URI'], ' DOCUMENT_ROOT=', $_SERVER['DOCUMENT_ROOT'];");
    root.Write("www/lara/public/.htaccess", "RewriteEngine On\n"
                                            "RewriteCond %{REQUEST_FILENAME} !-d\n"
                                            "RewriteCond %{REQUEST_FILENAME} !-f\n"
                                            "RewriteRule ^ index.php [L]\n");
    root.Write("www/lara/public/css/app.css", "body { margin: 0 }\n");
    root.Write("www/lara/.env", "DB_PASSWORD=lara-secret\n");
    // Folders no host reaches: a name no browser sends, a file, a tool.
    root.Write("www/Upper/index.php", "<?php echo 'upper';");
    root.Write("www/notes", "notes\n");
    root.Write("www/phpmyadmin/index.php", "<?php echo 'tool ', $_SERVER['REQUEST_METHOD'];");
    // As root, Apache's workers read the site as nobody.
    for (const auto &entry : fs::recursive_directory_iterator(www))
      fs::permissions(entry.path(),
                      fs::perms::others_read |
                          (entry.is_directory() ? fs::perms::others_exec : fs::perms::none),
                      fs::perm_options::add);
  }

  std::string Get(const RealApache::TServer &apache, const std::string &host, const std::string &target) const
  {
    return apache.Request("GET", target, {"Host: " + host + ":" + apache.Port()});
  }

  TScratchFolder root{"corvala sites"};
  TStackSetup setup;
  std::string www;
};

} // namespace

TEST_F(RealApacheSites, EachFolderIsASiteOfItsOwnAndTheMainNamesKeepTheWebRoot)
{
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  for (const std::string host : {"127.0.0.1", "localhost", "[::1]"}) {
    EXPECT_EQ(BodyOf(Get(apache, host, "/")), "main-page /index.php") << host;
    EXPECT_NE(BodyOf(Get(apache, host, "/app/")).find("app SCRIPT_NAME=/app/index.php"), std::string::npos)
        << host;
  }

  for (const std::string host : {"app.localhost", "APP.Localhost"}) {
    const std::string page = Get(apache, host, "/");
    EXPECT_EQ(RealApache::StatusOf(page), 200) << host << "\n" << page;
    EXPECT_EQ(BodyOf(page), "app SCRIPT_NAME=/index.php DOCUMENT_ROOT=" + www + "/app GET") << host;
  }
  EXPECT_EQ(BodyOf(Get(apache, "app.localhost", "/style.css")), "p { color: teal }\n");
  // A folder's address without its slash is sent to the same name's folder.
  const std::string folder = Get(apache, "app.localhost", "/docs");
  EXPECT_EQ(RealApache::StatusOf(folder), 301) << folder;
  EXPECT_NE(folder.find("\r\nLocation: http://app.localhost:" + apache.Port() + "/docs/\r\n"),
            std::string::npos)
      << folder;
  EXPECT_EQ(BodyOf(Get(apache, "app.localhost", "/docs/")), "docs\n");

  // The front controller sees itself at "/", for its own address and for every routed path.
  EXPECT_EQ(BodyOf(Get(apache, "lara.localhost", "/")),
            "front SCRIPT_NAME=/index.php REQUEST_URI=/ DOCUMENT_ROOT=" + www + "/lara/public");
  EXPECT_EQ(BodyOf(Get(apache, "lara.localhost", "/users/5?tab=posts")),
            "front SCRIPT_NAME=/index.php REQUEST_URI=/users/5?tab=posts DOCUMENT_ROOT=" + www +
                "/lara/public");
  EXPECT_EQ(BodyOf(Get(apache, "lara.localhost", "/css/app.css")), "body { margin: 0 }\n");
  // What lies beside public/ stays out of reach.
  for (const std::string target : {"/.env", "/../.env", "/%2e%2e/.env", "/..%2f.env", "/public/../../.env"}) {
    const std::string page = Get(apache, "lara.localhost", target);
    EXPECT_EQ(page.find("lara-secret"), std::string::npos) << target << "\n" << page;
  }
}

TEST_F(RealApacheSites, NamesWithoutASiteFolderGetANotFoundPage)
{
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  // No such folder, a file, a folder no browser can name, a tool, and more than one label.
  for (const std::string host : {"nope.localhost", "notes.localhost", "upper.localhost",
                                 "phpmyadmin.localhost", "lara.app.localhost", "public.lara.localhost"}) {
    const std::string page = Get(apache, host, "/");
    EXPECT_EQ(RealApache::StatusOf(page), 404) << host << "\n" << page;
    EXPECT_NE(page.find("No site here"), std::string::npos) << host << "\n" << page;
    EXPECT_EQ(page.find("main-page"), std::string::npos) << host;
    EXPECT_EQ(page.find("tool"), std::string::npos) << host;
  }
  // Names that are no host label never get as far as a folder.
  for (const std::string host :
       {"..localhost", "../app.localhost", "app..localhost", "-.localhost", "a_b.localhost"}) {
    const std::string page = Get(apache, host, "/index.php");
    EXPECT_NE(RealApache::StatusOf(page), 200) << host << "\n" << page;
    EXPECT_EQ(page.find("main-page"), std::string::npos) << host << "\n" << page;
  }
  // A folder made while the server runs is a site at once, also for workers that answered before.
  root.Write("www/nope/index.php", "<?php echo 'nope now';");
  fs::permissions(www + "/nope", fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  for (int request = 0; request < 8; ++request)
    EXPECT_EQ(BodyOf(Get(apache, "nope.localhost", "/")), "nope now") << request;
  // A site's own missing page is its own, not the one above.
  const std::string missing = Get(apache, "app.localhost", "/missing.html");
  EXPECT_EQ(RealApache::StatusOf(missing), 404);
  EXPECT_EQ(missing.find("No site here"), std::string::npos) << missing;
}

TEST_F(RealApacheSites, TheGuardsHoldForTheFolderSites)
{
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  const std::string host = "Host: app.localhost:" + apache.Port();
  for (const std::string target : {"/phpmyadmin/index.php?route=/sql", "/PHPMYADMIN/"}) {
    const std::string page =
        apache.Request("POST", target, {host, "Origin: http://evil.example"}, "sql_query=x");
    EXPECT_EQ(RealApache::StatusOf(page), 403) << target << "\n" << page;
    EXPECT_NE(page.find("came from a page of another site"), std::string::npos) << page;
  }
  // The site's own pages and a foreign page's write to the user's own site, as on the main site.
  EXPECT_NE(apache.Request("POST", "/", {host, "Origin: http://app.localhost:" + apache.Port()}, "a=1")
                .find("app SCRIPT_NAME=/index.php"),
            std::string::npos);
  EXPECT_NE(apache.Request("POST", "/", {host, "Origin: http://evil.example"}, "a=1").find(" POST"),
            std::string::npos);
  const std::string rebound = apache.Request("GET", "/", {"Host: evil.example:" + apache.Port()});
  EXPECT_EQ(RealApache::StatusOf(rebound), 421) << rebound;
}

TEST_F(RealApacheSites, TheFolderSitesWantTheKeyInTheirOwnCookie)
{
  setup.siteKey = "0123456789abcdef0123456789abcdef";
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  const std::string cookie = "Cookie: corvala_key=" + setup.siteKey;
  for (const std::string site : {"app.localhost", "lara.localhost", "nope.localhost"}) {
    const std::string host = "Host: " + site + ":" + apache.Port();
    const std::string refused = apache.Request("GET", "/", {host});
    EXPECT_EQ(RealApache::StatusOf(refused), 403) << site << "\n" << refused;
    EXPECT_NE(refused.find("open only to the account that started it"), std::string::npos) << refused;
    EXPECT_EQ(RealApache::StatusOf(
                  apache.Request("GET", "/", {host, "Cookie: corvala_key=" + std::string(32, '0')})),
              403)
        << site;
    // The hand-over works on each site's own name, which keeps its own host-only cookie.
    const std::string landing = apache.Request("GET", "/?corvala_key=" + setup.siteKey, {host});
    EXPECT_NE(landing.find("\r\nSet-Cookie: corvala_key=" + setup.siteKey +
                           "; Path=/; HttpOnly; SameSite=Strict\r\n"),
              std::string::npos)
        << site << "\n"
        << landing;
  }
  const std::string host = "Host: app.localhost:" + apache.Port();
  EXPECT_NE(apache.Request("GET", "/", {host, cookie}).find("app SCRIPT_NAME=/index.php"), std::string::npos);
  EXPECT_NE(apache.Request("GET", "/users/5", {"Host: lara.localhost:" + apache.Port(), cookie})
                .find("front SCRIPT_NAME=/index.php REQUEST_URI=/users/5"),
            std::string::npos);
}

TEST_F(RealApacheSites, TheStartPageLinksEveryFolderSite)
{
  fs::copy_file(CORVALA_STACK_TREE "/www/index.php", www + "/index.php",
                fs::copy_options::overwrite_existing);
  root.Write("www/help/index.html", "help\n");
  fs::permissions(www + "/help", fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  const std::string page = Get(apache, "127.0.0.1", "/");
  ASSERT_EQ(RealApache::StatusOf(page), 200) << page;
  for (const std::string name : {"app", "lara"})
    EXPECT_NE(page.find("<a href=\"http://" + name + ".localhost:" + apache.Port() + "/\">" + name + "</a>"),
              std::string::npos)
        << name << "\n"
        << page;
  for (const std::string name : {"phpmyadmin", "help", "Upper", "notes"})
    EXPECT_EQ(page.find("http://" + std::string(name) + ".localhost"), std::string::npos) << name;
}
