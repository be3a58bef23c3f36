#include "stack/ApacheConfig.h"
#include "stack/RequestGuards.h"
#include "stack/ServerCommandLines.h"
#include "stack/SiteFolders.h"

#include "RealApache.h"
#include "process/CommandLine.h"
#include "support/TestSupport.h"

#include <unistd.h>

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace Corvala;
using namespace TestSupport;

static TStackSetup FixedDiskSetup()
{
  TStackSetup setup;
  setup.appPath = "/opt/My Stack/";
  setup.binFolder = "/opt/My Stack/bin";
  setup.workFolder = "/tmp/work 1";
  setup.ip = "127.0.0.1";
  setup.apachePort = 8080;
  setup.mySqlPort = 3306;
  return setup;
}

TEST(ApacheConfigText, FixedDiskAsUser)
{
  EXPECT_EQ(ApacheConfigText(FixedDiskSetup()),
            "ServerRoot \"/opt/My Stack/bin/Apache\"\n"
            "PidFile \"/tmp/work 1/httpd.pid\"\n"
            "ErrorLog \"/tmp/work 1/error.log\"\n"
            "Listen 127.0.0.1:8080\n"
            "ServerName 127.0.0.1\n"
            "DocumentRoot \"/opt/My Stack/www\"\n"
            "DirectoryIndex index.php index.html index.htm index.php5 index.php4 index.php3 defult.htm "
            "default.html\n"
            "TypesConfig mime.types\n"
            "UseCanonicalName Off\n"
            "LoadModule php_module \"/opt/My Stack/bin/php/libphp.so\"\n"
            "AddType application/x-httpd-php .php\n"
            "LoadModule rewrite_module mod_rewrite.so\n"
            "LoadModule mpm_prefork_module mod_mpm_prefork.so\n"
            "LoadModule mime_module mod_mime.so\n"
            "LoadModule dir_module mod_dir.so\n"
            "LoadModule authz_core_module mod_authz_core.so\n"
            "<Directory />\n"
            "AllowOverride None\n"
            "</Directory>\n"
            "<Directory \"/opt/My Stack/www\">\n"
            "AllowOverride All\n"
            "</Directory>\n" +
                RequestGuardRules(FixedDiskSetup()) + SiteFolderRules(FixedDiskSetup()));
}

TEST(ApacheConfigText, CdCopyAsRootServesTheWorkCopy)
{
  TStackSetup setup = FixedDiskSetup();
  setup.binFolder = "/tmp/work 1/bin";
  setup.isCdRom = true;
  setup.runningAsRoot = true;
  setup.ip = "all";
  setup.apachePort = 81;
  EXPECT_EQ(ApacheConfigText(setup),
            "ServerRoot \"/tmp/work 1/bin/Apache\"\n"
            "PidFile \"/tmp/work 1/httpd.pid\"\n"
            "ErrorLog \"/tmp/work 1/error.log\"\n"
            "Listen 0.0.0.0:81\n"
            "ServerName 127.0.0.1\n"
            "DocumentRoot \"/tmp/work 1/www\"\n"
            "DirectoryIndex index.php index.html index.htm index.php5 index.php4 index.php3 defult.htm "
            "default.html\n"
            "TypesConfig mime.types\n"
            "UseCanonicalName Off\n"
            "LoadModule php_module \"/tmp/work 1/bin/php/libphp.so\"\n"
            "AddType application/x-httpd-php .php\n"
            "LoadModule rewrite_module mod_rewrite.so\n"
            "LoadModule mpm_prefork_module mod_mpm_prefork.so\n"
            "LoadModule mime_module mod_mime.so\n"
            "LoadModule dir_module mod_dir.so\n"
            "LoadModule authz_core_module mod_authz_core.so\n"
            "User nobody\n"
            "Group nogroup\n"
            "<Directory />\n"
            "AllowOverride None\n"
            "</Directory>\n"
            "<Directory \"/tmp/work 1/www\">\n"
            "AllowOverride All\n"
            "</Directory>\n" +
                RequestGuardRules(setup) + SiteFolderRules(setup));
}

TEST(ApacheConfigText, DocumentRootFollowsCdAndCopyFlag)
{
  TStackSetup setup = FixedDiskSetup();
  setup.copyFilesToHardDisk = true; // ignored off CD
  EXPECT_EQ(ApacheDocumentRoot(setup), "/opt/My Stack/www");
  setup.isCdRom = true;
  setup.copyFilesToHardDisk = false; // CD, served from the disc
  EXPECT_EQ(ApacheDocumentRoot(setup), "/opt/My Stack/www");
  setup.copyFilesToHardDisk = true;
  EXPECT_EQ(ApacheDocumentRoot(setup), "/tmp/work 1/www");
  setup.appPath = "/"; // program in the root: the formats join without a second '/'
  setup.isCdRom = false;
  EXPECT_EQ(ApacheDocumentRoot(setup), "/www");
}

TEST(ApacheConfigText, OnlyTheExactLoopbackTextListensOnLoopback)
{
  EXPECT_EQ(ApacheListenAddress("127.0.0.1"), "127.0.0.1");
  for (const char *ip : {"127.0.0.1 ", " 127.0.0.1", "all", "", "localhost", "192.168.1.5"})
    EXPECT_EQ(ApacheListenAddress(ip), "0.0.0.0") << '"' << ip << '"';
  TStackSetup setup = FixedDiskSetup();
  setup.ip = "127.0.0.1 ";
  EXPECT_NE(ApacheConfigText(setup).find("\nListen 0.0.0.0:8080\n"), std::string::npos);
}

TEST(ApacheConfigText, QuotesInPathsAreEscapedAndLineBreaksRefused)
{
  TStackSetup setup = FixedDiskSetup();
  setup.binFolder = "/opt/say \"hi\"/bin";
  const std::string text = ApacheConfigText(setup);
  EXPECT_EQ(text.substr(0, text.find('\n')), "ServerRoot \"/opt/say \\\"hi\\\"/bin/Apache\"");
  // Apache turns "\\" into one backslash inside quotes, and "\"" would end nothing.
  setup.binFolder = "/opt/two\\\\slashes\\\"/bin";
  const std::string escaped = ApacheConfigText(setup);
  EXPECT_EQ(escaped.substr(0, escaped.find('\n')),
            "ServerRoot \"/opt/two\\\\\\\\slashes\\\\\\\"/bin/Apache\"");

  setup.workFolder = "/tmp/a\nListen 9999";
  EXPECT_THROW(ApacheConfigText(setup), std::runtime_error);
  setup = FixedDiskSetup();
  setup.appPath = "/opt/${HOME}/";
  EXPECT_THROW(ApacheConfigText(setup), std::runtime_error);
}

TEST(ApacheParameters, ForegroundWithQuotedConfigPath)
{
  EXPECT_EQ(ApacheParameters("/tmp/work 1/httpd.conf"), "-f \"/tmp/work 1/httpd.conf\" -DFOREGROUND");
  EXPECT_EQ(ApacheExePath("/opt/My Stack/bin"), "/opt/My Stack/bin/Apache/Apache");
  EXPECT_EQ(Process::SplitCommandLine(ApacheParameters("/tmp/a\"b/httpd.conf")),
            (Base::TStringArray{"-f", "/tmp/a\"b/httpd.conf", "-DFOREGROUND"}));
}

TEST(WriteApacheConfig, WritesPrivateFileAndReplacesOlderOne)
{
  TScratchFolder root;
  TStackSetup setup = FixedDiskSetup();
  setup.workFolder = root.Path();
  root.Write("httpd.conf", std::string(5000, '#'));
  const std::string path = WriteApacheConfig(setup);
  EXPECT_EQ(path, root.File("httpd.conf"));
  EXPECT_EQ(ReadBytes(path), ApacheConfigText(setup));
  struct stat st {
  };
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(fs::exists(root.File("www"))); // no copy off CD

  setup.workFolder = root.File("missing");
  EXPECT_THROW(WriteApacheConfig(setup), std::runtime_error);
}

TEST(WriteApacheConfig, CdWithCopyFlagCopiesTheWebRootWritable)
{
  TScratchFolder root;
  TStackSetup setup = FixedDiskSetup();
  setup.appPath = root.File("cd/");
  setup.workFolder = root.File("work");
  fs::create_directories(setup.workFolder);
  root.Write("cd/www/index.php", "<?php echo 1;");
  fs::permissions(root.File("cd/www/index.php"), fs::perms::owner_read);
  fs::permissions(root.File("cd/www"), fs::perms::owner_read | fs::perms::owner_exec);
  setup.isCdRom = true;
  setup.copyFilesToHardDisk = false;
  WriteApacheConfig(setup);
  EXPECT_FALSE(fs::exists(root.File("work/www")));

  setup.copyFilesToHardDisk = true;
  WriteApacheConfig(setup);
  EXPECT_EQ(ReadBytes(root.File("work/www/index.php")), "<?php echo 1;");
  EXPECT_NE(fs::status(root.File("work/www/index.php")).permissions() & fs::perms::owner_write,
            fs::perms::none);
  EXPECT_NE(fs::status(root.File("work/www")).permissions() & fs::perms::owner_write, fs::perms::none);
  fs::permissions(root.File("cd/www"), fs::perms::owner_all);
}

// The real server, when installed, must accept what we write.
TEST(WriteApacheConfig, RealApacheAcceptsTheFile)
{
  if (!RealApache::Installed())
    GTEST_SKIP() << "Apache with PHP is not installed";
  TScratchFolder root("corvala apache");
  TStackSetup setup = RealApache::LinkedStackIn(root);
  setup.ip = "all";
  setup.allowedHosts = {"dev.example.test"};
  setup.machineNames = {"box", "box.local"};
  setup.siteKey = "0123456789abcdef0123456789abcdef";

  const RunResult run =
      RunCommand("/usr/sbin/apache2 -t -f " + ShellQuoted(WriteApacheConfig(setup)) + " 2>&1");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Syntax OK"), std::string::npos) << run.Output;
}

// Serves PHP from the document root, with a site's .htaccess rewrite rule, as the real server runs it.
TEST(WriteApacheConfig, RealApacheServesPhpAndHtaccessRules)
{
  if (!RealApache::Installed())
    GTEST_SKIP() << "Apache with PHP is not installed";
  TScratchFolder root("corvala serve");
  const TStackSetup setup = RealApache::LinkedStackIn(root);
  ASSERT_GT(setup.apachePort, 0);
  root.Write("www/index.php", "<?php echo 'sum=' . (2 + 3);");
  root.Write("www/sub/page.php", "<?php echo 'rewritten';");
  root.Write("www/sub/.htaccess", "RewriteEngine On\nRewriteRule ^pretty$ page.php\n");
  fs::permissions(root.File("www/sub"), fs::perms::others_read | fs::perms::others_exec,
                  fs::perm_options::add);

  const RealApache::TServer apache(setup);
  ASSERT_TRUE(apache.Serves()) << apache.ErrorLog();
  const std::string home = apache.Request("GET", "/");
  EXPECT_NE(home.find(" 200 OK"), std::string::npos) << home;
  EXPECT_NE(home.find("\r\n\r\nsum=5"), std::string::npos) << home;
  const std::string pretty = apache.Request("GET", "/sub/pretty");
  EXPECT_NE(pretty.find("\r\n\r\nrewritten"), std::string::npos) << pretty;
}
