#include "stack/RequestGuards.h"
#include "stack/SiteKeyRules.h"

#include "RealApache.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace Corvala;
using namespace TestSupport;
namespace fs = std::filesystem;

TEST(ParseAllowedHosts, SplitsOnBlanksAndCommasAndRefusesWhatIsNoHostName)
{
  EXPECT_EQ(ParseAllowedHosts(""), std::vector<std::string>{});
  EXPECT_EQ(ParseAllowedHosts(" Dev.Example.TEST,box\tother-box ,, "),
            (std::vector<std::string>{"dev.example.test", "box", "other-box"}));
  for (const char *bad : {"evil.example/x", "a..b", ".example", "box:8080", "caf\xc3\xa9", "*.example"}) {
    try {
      ParseAllowedHosts(std::string("good ") + bad);
      ADD_FAILURE() << bad << " was taken";
    } catch (const std::runtime_error &error) {
      EXPECT_NE(std::string(error.what()).find(std::string("\"") + bad + "\""), std::string::npos)
          << error.what();
      EXPECT_NE(std::string(error.what()).find("allowedhosts"), std::string::npos) << error.what();
    }
  }
}

namespace
{

// A request of the given name, as a browser sends it.
std::string Host(const std::string &name)
{
  return "Host: " + name;
}

class RealApacheGuards : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!RealApache::Installed())
      GTEST_SKIP() << "Apache with PHP is not installed";
    setup = RealApache::LinkedStackIn(root);
    root.Write("www/index.php", "<?php echo 'site ', $_SERVER['REQUEST_METHOD'];");
    root.Write("www/phpmyadmin/index.php", "<?php echo 'tool ', $_SERVER['REQUEST_METHOD'];");
    // A site's own rules cannot let a foreign page's writes into a tool.
    root.Write("www/phpmyadmin/.htaccess", "Require all granted\n");
    fs::permissions(root.File("www/phpmyadmin"), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
  }

  TScratchFolder root{"corvala guards"};
  TStackSetup setup;
};

} // namespace

TEST_F(RealApacheGuards, AnswersOnlyTheLoopbackNamesAndTheAllowedOnes)
{
  setup.allowedHosts = {"dev.example.test"};
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  for (const std::string name : {"127.0.0.1", "localhost", "[::1]", "dev.example.test"})
    for (const std::string &host : std::vector<std::string>{name, name + ":" + apache.Port()}) {
      const std::string page = apache.Request("GET", "/", {Host(host)});
      EXPECT_EQ(RealApache::StatusOf(page), 200) << host << "\n" << page;
      EXPECT_NE(page.find("site GET"), std::string::npos) << host;
      EXPECT_EQ(RealApache::StatusOf(apache.Request("GET", "/phpmyadmin/", {Host(host)})), 200) << host;
    }
  // Names under .localhost are answered too, each by the site folder of its name (none here).
  for (const std::string host : {"app.localhost", "A.B.LOCALHOST"})
    EXPECT_EQ(RealApache::StatusOf(apache.Request("GET", "/", {Host(host)})), 404) << host;
  // A page of another name rebound to this address, and names that only look like ours.
  for (const std::string name : {"evil.example", "localhost.evil.example", "evillocalhost",
                                 "127.0.0.1.evil.example", "10.0.0.1", "other.example.test"})
    for (const std::string &host : std::vector<std::string>{name, name + ":" + apache.Port()}) {
      const std::string page = apache.Request("GET", "/phpmyadmin/", {Host(host)});
      EXPECT_EQ(RealApache::StatusOf(page), 421) << host << "\n" << page;
      EXPECT_EQ(page.find("tool GET"), std::string::npos) << host;
      EXPECT_NE(page.find("allowedhosts key of Config.ini"), std::string::npos) << page;
    }
}

TEST_F(RealApacheGuards, OnEveryAddressAlsoAnswersAddressesAndTheMachinesNames)
{
  setup.ip = "all";
  setup.machineNames = {"box", "box.local"};
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  for (const std::string &host :
       std::vector<std::string>{"192.168.1.20:" + apache.Port(), "[fe80::1]:" + apache.Port(), "box",
                                "BOX.local:" + apache.Port()})
    EXPECT_EQ(RealApache::StatusOf(apache.Request("GET", "/", {Host(host)})), 200) << host;
  for (const std::string host : {"evil.example", "box.evil.example", "evil.box"})
    EXPECT_EQ(RealApache::StatusOf(apache.Request("GET", "/", {Host(host)})), 421) << host;
}

TEST_F(RealApacheGuards, ToolsTakeWritesOnlyFromTheirOwnOrigin)
{
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  const std::string self = "http://127.0.0.1:" + apache.Port();
  const std::string host = Host("127.0.0.1:" + apache.Port());
  const std::string body = "sql_query=CREATE+DATABASE+x";
  // Foreign pages: another site, a sandboxed or privacy-stripped origin, a fetch the browser
  // marks cross-site; also on the paths that lead to the same tool.
  const std::vector<std::vector<std::string>> foreign{
      {host, "Origin: http://evil.example"},
      {host, "Origin: null"},
      {host, "Sec-Fetch-Site: cross-site"},
      {host, "Sec-Fetch-Site: same-site", "Origin: http://127.0.0.1:1"},
      {host, "Origin: http://localhost:" + apache.Port()}};
  for (const auto &headers : foreign)
    for (const std::string target :
         {"/phpmyadmin/index.php?route=/sql", "//phpmyadmin/index.php", "/%70hpmyadmin/index.php",
          "/x/../phpmyadmin/index.php", "/PHPMYADMIN/"}) {
      const std::string page = apache.Request("POST", target, headers, body);
      EXPECT_EQ(RealApache::StatusOf(page), 403) << target << " " << headers[1] << "\n" << page;
      EXPECT_NE(page.find("came from a page of another site"), std::string::npos) << page;
    }
  // The tool's own pages, a request the browser made itself, and programs that send neither header.
  for (const auto &headers :
       std::vector<std::vector<std::string>>{{host, "Origin: " + self},
                                             {host, "Origin: HTTP://127.0.0.1:" + apache.Port()},
                                             {host, "Sec-Fetch-Site: same-origin"},
                                             {host, "Sec-Fetch-Site: none"},
                                             {host}}) {
    const std::string page = apache.Request("POST", "/phpmyadmin/index.php", headers, body);
    EXPECT_NE(page.find("tool POST"), std::string::npos) << headers.back() << "\n" << page;
  }
  // Reading stays open, and the user's own site keeps its own defences.
  EXPECT_NE(apache.Request("GET", "/phpmyadmin/", {host, "Sec-Fetch-Site: cross-site"}).find("tool GET"),
            std::string::npos);
  EXPECT_NE(
      apache.Request("POST", "/index.php", {host, "Origin: http://evil.example"}, body).find("site POST"),
      std::string::npos);
}

TEST_F(RealApacheGuards, TheKeyInTheAddressBecomesAStrictCookieAndALandingPage)
{
  setup.siteKey = "0123456789abcdef0123456789abcdef";
  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  const std::string host = Host("127.0.0.1:" + apache.Port());

  const std::string landing = apache.Request("GET", "/?corvala_key=" + setup.siteKey, {host});
  EXPECT_EQ(RealApache::StatusOf(landing), 200) << landing;
  EXPECT_NE(landing.find("\r\nSet-Cookie: corvala_key=" + setup.siteKey +
                         "; Path=/; HttpOnly; SameSite=Strict\r\n"),
            std::string::npos)
      << landing;
  EXPECT_NE(landing.find("\r\nCache-Control: no-store\r\n"), std::string::npos) << landing;
  EXPECT_TRUE(landing.ends_with(SiteKeyLandingPage)) << landing;

  const std::string cookie = "Cookie: corvala_key=" + setup.siteKey;
  EXPECT_NE(apache.Request("GET", "/", {host, cookie}).find("site GET"), std::string::npos);
  const std::string refused = apache.Request("GET", "/", {host});
  EXPECT_EQ(RealApache::StatusOf(refused), 403);
  EXPECT_NE(refused.find("open only to the account that started it"), std::string::npos) << refused;
  EXPECT_EQ(RealApache::StatusOf(apache.Request("GET", "/?corvala_key=" + std::string(32, '0'), {host})),
            403);
  // A foreign page's write without the key is told about the key, the one thing that lets it in.
  const std::string foreign =
      apache.Request("POST", "/phpmyadmin/", {host, "Origin: http://evil.example"}, "a=1");
  EXPECT_NE(foreign.find("open only to the account that started it"), std::string::npos) << foreign;
  // With the key it is still a foreign page's write.
  const std::string keyed =
      apache.Request("POST", "/phpmyadmin/", {host, cookie, "Origin: http://evil.example"}, "a=1");
  EXPECT_NE(keyed.find("came from a page of another site"), std::string::npos) << keyed;
}
