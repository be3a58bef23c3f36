#include "stack/PhpConfig.h"

#include "ini/Ini.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Corvala;
using namespace TestSupport;

TEST(PhpQuoted, EscapesWhatPhpUnescapes)
{
  EXPECT_EQ(PhpQuoted("/opt/My Stack"), "\"/opt/My Stack\"");
  EXPECT_EQ(PhpQuoted("/a\\b\"c${HOME}"), "\"/a\\\\b\\\"c\\${HOME}\"");
  EXPECT_THROW(PhpQuoted("/a\nb"), std::runtime_error);
}

TEST(SendmailPathValue, QuotesForTheShellOnlyWhenNeeded)
{
  EXPECT_EQ(SendmailPathValue(""), "\" -t\"");
  EXPECT_EQ(SendmailPathValue("/opt/stack/bin/Apache/sendmail"), "\"/opt/stack/bin/Apache/sendmail -t\"");
  EXPECT_EQ(SendmailPathValue("/opt/My Stack/sendmail"), "\"'/opt/My Stack/sendmail' -t\"");
  EXPECT_EQ(SendmailPathValue("/opt/it's/sendmail"), "\"'/opt/it'\\\\''s/sendmail' -t\"");
}

TEST(PhpIniSettings, InOrderWithPortAndWorkFolderPaths)
{
  TStackSetup setup;
  setup.appPath = "/opt/My Stack/";
  setup.binFolder = "/opt/My Stack/bin";
  setup.workFolder = "/tmp/w";
  setup.mySqlPort = 0;
  const std::vector<std::vector<std::string>> expected = {
      {"PHP", "extension_dir", "\"/opt/My Stack/bin/php/ext\""},
      {"PHP", "mime_magic.magicfile", "\"/opt/My Stack/bin/php/ext/magic.mime\""},
      {"MySQL", "mysql.default_port", "0"},
      {"mail function", "sendmail_path", "\"/usr/sbin/sendmail -t\""},
      {"MySQLi", "mysqli.default_port", "0"},
      {"MySQLi", "mysqli.default_socket", "\"/tmp/w/mysql.sock\""},
      {"Pdo_mysql", "pdo_mysql.default_socket", "\"/tmp/w/mysql.sock\""},
      {"Session", "session.save_path", "\"/tmp/w/sessions\""},
  };
  std::vector<std::vector<std::string>> actual;
  for (const auto &setting : PhpIniSettings(setup, "/usr/sbin/sendmail"))
    actual.push_back({setting.section, setting.key, setting.value});
  EXPECT_EQ(actual, expected);
  setup.mySqlPort = 3307;
  EXPECT_EQ(PhpIniSettings(setup, "")[2].value, "3307");
  EXPECT_EQ(PhpIniSettings(setup, "")[4].value, "3307");
}

TEST(PhpExtensionLines, DependenciesFirstZendAndCliOnlyLeftOut)
{
  const Base::TStringArray files = {"pdo_mysql.so", "mysqli.so",   "gd.so",  "opcache.so",
                                    "README",       "readline.so", "pdo.so", "xdebug.so",
                                    "mysqlnd.so",   "dom.so",      "xml.so", "pdo_sqlite.so"};
  const Base::TStringArray expected = {
      "extension=mysqlnd.so", "extension=pdo.so",    "extension=xml.so",       "extension=dom.so",
      "extension=gd.so",      "extension=mysqli.so", "extension=pdo_mysql.so", "extension=pdo_sqlite.so"};
  EXPECT_EQ(PhpExtensionLines(files, {}), expected);
  EXPECT_EQ(PhpExtensionLines({"gd.so", "mysqli.so", "mysqlnd.so"}, {"mysqlnd", "gd"}),
            Base::TStringArray{"extension=mysqli.so"});
  EXPECT_TRUE(PhpExtensionLines({}, {}).empty());
  EXPECT_TRUE(PhpExtensionLines({"x.so\nauto_prepend_file=/tmp/a.so", "my ext.so", "a\"b.so"}, {}).empty());
}

class WritePhpConfigTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    setup.appPath = root.File("My Stack/");
    setup.binFolder = root.File("My Stack/bin");
    setup.workFolder = root.File("work");
    fs::create_directories(setup.workFolder);
  }

  TScratchFolder root{"corvala php"};
  TStackSetup setup;
};

TEST_F(WritePhpConfigTest, WithoutTemplateWritesEverySettingInNewSections)
{
  const std::string path = WritePhpConfig(setup);
  EXPECT_EQ(path, root.File("work/php.ini"));
  EXPECT_EQ(ReadBytes(path), root.Fill("[PHP]\r\n"
                                       "extension_dir=\"{root}/My Stack/bin/php/ext\"\r\n"
                                       "mime_magic.magicfile=\"{root}/My Stack/bin/php/ext/magic.mime\"\r\n"
                                       "[MySQL]\r\n"
                                       "mysql.default_port=0\r\n"
                                       "[mail function]\r\n"
                                       "sendmail_path=\" -t\"\r\n"
                                       "[MySQLi]\r\n"
                                       "mysqli.default_port=0\r\n"
                                       "mysqli.default_socket=\"{root}/work/mysql.sock\"\r\n"
                                       "[Pdo_mysql]\r\n"
                                       "pdo_mysql.default_socket=\"{root}/work/mysql.sock\"\r\n"
                                       "[Session]\r\n"
                                       "session.save_path=\"{root}/work/sessions\"\r\n"));
}

TEST_F(WritePhpConfigTest, TemplateKeysReplacedInPlaceOrAddedToTheirSection)
{
  const std::string templateIni =
      root.Write("My Stack/bin/php/php.ini", "[PHP]\r\n"
                                             "; paths\r\n"
                                             "extension_dir = \"./ext\"\r\n"
                                             "memory_limit = 128M\r\n"
                                             "extension=gd\r\n"
                                             ";extension=mysqli\r\n"
                                             "[Zend]\r\n"
                                             "zend_extension_ts = old.dll\r\n"
                                             "zend.enable_gc = On\r\n"
                                             "[ionCube]\r\n"
                                             "ioncube.loader.encoded_paths = /\r\n"
                                             "[mail function]\r\n"
                                             "SMTP = localhost\r\n"
                                             "[MySQLi]\r\n"
                                             "mysqli.default_port = 3306\r\n"
                                             "mysqli.default_socket =\r\n");
  fs::permissions(templateIni, fs::perms::owner_read | fs::perms::group_read);
  root.Write("My Stack/bin/Apache/sendmail", "#!/bin/sh\n");
  for (const char *ext : {"gd.so", "mysqli.so", "mysqlnd.so", "magic.mime"})
    root.Write(std::string("My Stack/bin/php/ext/") + ext, "");
  setup.mySqlPort = 3307;

  const std::string path = WritePhpConfig(setup);
  // New keys follow the last key of their section; comments after it stay below them.
  EXPECT_EQ(ReadBytes(path), root.Fill("[PHP]\r\n"
                                       "; paths\r\n"
                                       "extension_dir=\"{root}/My Stack/bin/php/ext\"\r\n"
                                       "memory_limit = 128M\r\n"
                                       "extension=gd\r\n"
                                       "mime_magic.magicfile=\"{root}/My Stack/bin/php/ext/magic.mime\"\r\n"
                                       ";extension=mysqli\r\n"
                                       "[Zend]\r\n"
                                       "zend_extension_ts = old.dll\r\n"
                                       "zend.enable_gc = On\r\n"
                                       "[ionCube]\r\n"
                                       "ioncube.loader.encoded_paths = /\r\n"
                                       "[mail function]\r\n"
                                       "SMTP = localhost\r\n"
                                       "sendmail_path=\"'{root}/My Stack/bin/Apache/sendmail' -t\"\r\n"
                                       "[MySQLi]\r\n"
                                       "mysqli.default_port=3307\r\n"
                                       "mysqli.default_socket=\"{root}/work/mysql.sock\"\r\n"
                                       "[MySQL]\r\n"
                                       "mysql.default_port=3307\r\n"
                                       "[Pdo_mysql]\r\n"
                                       "pdo_mysql.default_socket=\"{root}/work/mysql.sock\"\r\n"
                                       "[Session]\r\n"
                                       "session.save_path=\"{root}/work/sessions\"\r\n"
                                       "[Extensions]\r\n"
                                       "extension=mysqlnd.so\r\n"
                                       "extension=mysqli.so\r\n"));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  fs::permissions(templateIni, fs::perms::owner_all);
}

TEST_F(WritePhpConfigTest, OpcacheLoadedOnceWithDevelopmentSettingsWhenShipped)
{
  for (const char *ext : {"opcache.so", "xdebug.so", "gd.so"})
    root.Write(std::string("My Stack/bin/php/ext/") + ext, "");
  const std::string opcache = setup.binFolder + "/php/ext/opcache.so";
  const std::string expected = "[opcache]\r\n"
                               "zend_extension=\"" +
                               opcache +
                               "\"\r\n"
                               "opcache.enable=1\r\n"
                               "opcache.enable_cli=0\r\n"
                               "opcache.validate_timestamps=1\r\n"
                               "opcache.revalidate_freq=0\r\n"
                               "opcache.file_update_protection=2\r\n"
                               "opcache.memory_consumption=64\r\n"
                               "opcache.interned_strings_buffer=8\r\n"
                               "opcache.max_accelerated_files=4000\r\n"
                               "opcache.file_cache=\r\n"
                               "[Extensions]\r\n"
                               "extension=gd.so\r\n";
  const std::string text = ReadBytes(WritePhpConfig(setup));
  EXPECT_NE(text.find(expected), std::string::npos) << text;
  EXPECT_EQ(text.find("xdebug"), std::string::npos) << text;

  // A template that loads opcache itself keeps its line and gets no second one, which PHP refuses.
  root.Write("My Stack/bin/php/php.ini",
             "[PHP]\r\nzend_extension=opcache\r\n[opcache]\r\nopcache.revalidate_freq=2\r\n");
  const std::string withLine = ReadBytes(WritePhpConfig(setup));
  EXPECT_EQ(withLine.find(opcache), std::string::npos) << withLine;
  EXPECT_NE(withLine.find("[opcache]\r\nopcache.revalidate_freq=0\r\nopcache.enable=1\r\n"),
            std::string::npos)
      << withLine;

  // A down-sized tree without opcache gets no opcache line at all.
  fs::remove(opcache);
  root.Write("My Stack/bin/php/php.ini", "[PHP]\r\n");
  const std::string without = ReadBytes(WritePhpConfig(setup));
  EXPECT_EQ(without.find("opcache"), std::string::npos) << without;
}

// On, Xdebug is loaded after opcache, waiting for a request's trigger; off, or deleted from the
// tree, nothing names it, so PHP starts as before.
TEST_F(WritePhpConfigTest, XdebugIsLoadedOnlyWhenOnAndStillInTheTree)
{
  root.Write("My Stack/bin/php/php.ini", "[PHP]\r\n");
  for (const char *ext : {"opcache.so", "xdebug.so"})
    root.Write(std::string("My Stack/bin/php/ext/") + ext, "");
  const std::string xdebug = setup.binFolder + "/php/ext/xdebug.so";
  EXPECT_TRUE(IsXdebugOn("1"));
  for (const char *value : {"", "0", "yes", " 1"})
    EXPECT_FALSE(IsXdebugOn(value)) << value;

  setup.xdebug = true;
  const std::string on = ReadBytes(WritePhpConfig(setup));
  const size_t block = on.find("[xdebug]\r\n"
                               "zend_extension=\"" +
                               xdebug +
                               "\"\r\n"
                               "xdebug.mode=debug\r\n"
                               "xdebug.start_with_request=trigger\r\n"
                               "xdebug.client_host=127.0.0.1\r\n"
                               "xdebug.client_port=9003\r\n");
  ASSERT_NE(block, std::string::npos) << on;
  EXPECT_LT(on.find("[opcache]"), block) << on;
  EXPECT_EQ(on.find("extension=xdebug"), std::string::npos) << "loaded once, as a Zend extension: " << on;

  setup.xdebug = false;
  const std::string off = ReadBytes(WritePhpConfig(setup));
  EXPECT_EQ(off.find("xdebug"), std::string::npos) << off;

  setup.xdebug = true;
  fs::remove(xdebug);
  const std::string deleted = ReadBytes(WritePhpConfig(setup));
  EXPECT_EQ(deleted.find("xdebug"), std::string::npos) << deleted;
}

TEST_F(WritePhpConfigTest, ADistributionStartsFromTheProductionTemplateTheDeveloperFromTheOther)
{
  root.Write("My Stack/bin/php/php.ini", "[PHP]\r\ndisplay_errors = On\r\nzend.assertions = 1\r\n");
  root.Write("My Stack/bin/php/php.ini-production",
             "[PHP]\r\ndisplay_errors = Off\r\nzend.assertions = -1\r\n");
  root.Write("My Stack/bin/php/ext/opcache.so", "");
  const std::string opcache = setup.binFolder + "/php/ext/opcache.so";
  const auto opcacheBlock = [&opcache](const char *revalidate, const char *memory, const char *files) {
    return "[opcache]\r\nzend_extension=\"" + opcache +
           "\"\r\nopcache.enable=1\r\nopcache.enable_cli=0\r\nopcache.validate_timestamps=1\r\n"
           "opcache.revalidate_freq=" +
           revalidate + "\r\nopcache.file_update_protection=2\r\nopcache.memory_consumption=" + memory +
           "\r\nopcache.interned_strings_buffer=8\r\nopcache.max_accelerated_files=" + files +
           "\r\nopcache.file_cache=\r\n";
  };

  EXPECT_EQ(PhpIniTemplate(setup), setup.binFolder + "/php/php.ini");
  std::string text = ReadBytes(WritePhpConfig(setup));
  EXPECT_EQ(text.rfind("[PHP]\r\ndisplay_errors = On\r\nzend.assertions = 1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find(opcacheBlock("0", "64", "4000")), std::string::npos) << text;

  setup.brand = true;
  EXPECT_EQ(PhpIniTemplate(setup), setup.binFolder + "/php/php.ini-production");
  text = ReadBytes(WritePhpConfig(setup));
  EXPECT_EQ(text.rfind("[PHP]\r\ndisplay_errors = Off\r\nzend.assertions = -1\r\n", 0), 0u) << text;
  EXPECT_NE(text.find(opcacheBlock("2", "128", "10000")), std::string::npos) << text;

  // A distribution made from a tree whose kit had no production file keeps the one it has.
  fs::remove(setup.binFolder + "/php/php.ini-production");
  EXPECT_EQ(PhpIniTemplate(setup), setup.binFolder + "/php/php.ini");
  text = ReadBytes(WritePhpConfig(setup));
  EXPECT_EQ(text.rfind("[PHP]\r\ndisplay_errors = On\r\n", 0), 0u) << text;
}

TEST_F(WritePhpConfigTest, MissingTemplateUpdatesTheOlderCopy)
{
  const std::string older = root.Write("work/php.ini", "[PHP]\r\nshort_open_tag=On\r\nextension_dir=ext\r\n");
  setup.mySqlPort = 3306;
  WritePhpConfig(setup);
  const std::string text = ReadBytes(older);
  EXPECT_EQ(
      text.rfind("[PHP]\r\nshort_open_tag=On\r\nextension_dir=\"" + setup.binFolder + "/php/ext\"\r\n", 0),
      0u)
      << text;
  EXPECT_EQ(Ini::ReadIniString(older, "MySQL", "mysql.default_port"), "3306");
}

// The real PHP, when installed, must load every extension without a complaint and see our values.
TEST_F(WritePhpConfigTest, RealPhpReadsTheFile)
{
  const std::string extensions = "/usr/lib/php/20220829";
  const std::string templateIni = "/usr/lib/php/8.2/php.ini-development";
  if (!fs::exists("/usr/bin/php") || !fs::exists(extensions) || !fs::exists(templateIni))
    GTEST_SKIP() << "PHP 8.2 is not installed";
  fs::create_directories(setup.binFolder + "/php/ext");
  fs::copy_file(templateIni, setup.binFolder + "/php/php.ini");
  for (const auto &entry : fs::directory_iterator(extensions))
    fs::create_symlink(entry.path(), setup.binFolder + "/php/ext/" + entry.path().filename().string());
  setup.mySqlPort = 3307;
  const std::string path = WritePhpConfig(setup);

  const RunResult run =
      RunCommand("PHP_INI_SCAN_DIR= /usr/bin/php -c " + ShellQuoted(path) +
                 " -r 'echo ini_get(\"mysqli.default_port\"), \"|\", "
                 "ini_get(\"session.save_path\"), \"|\", extension_loaded(\"mysqli\") ? 1 : 0, "
                 "extension_loaded(\"pdo_mysql\") ? 1 : 0, extension_loaded(\"Zend OPcache\") ? 1 : 0, "
                 "\"|\", ini_get(\"opcache.revalidate_freq\");'");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(run.Output, "3307|" + setup.workFolder + "/sessions|111|0");
}

// Debian's own two templates as the kit carries them: the developer's PHP shows errors and runs
// assertions, a distribution's does neither and revalidates its scripts less often.
TEST_F(WritePhpConfigTest, RealPhpRunsTheDistributionWithProductionSettings)
{
  const std::string extensions = "/usr/lib/php/20220829";
  const std::string templates = "/usr/lib/php/8.2/php.ini-";
  if (!fs::exists("/usr/bin/php") || !fs::exists(extensions) || !fs::exists(templates + "production"))
    GTEST_SKIP() << "PHP 8.2 is not installed";
  fs::create_directories(setup.binFolder + "/php/ext");
  fs::copy_file(templates + "development", setup.binFolder + "/php/php.ini");
  fs::copy_file(templates + "production", setup.binFolder + "/php/php.ini-production");
  for (const char *name : {"opcache.so", "mysqlnd.so"})
    fs::create_symlink(extensions + "/" + name, setup.binFolder + "/php/ext/" + name);
  const auto settings = [this] {
    const RunResult run = RunCommand(
        "PHP_INI_SCAN_DIR= /usr/bin/php -c " + ShellQuoted(WritePhpConfig(setup)) +
        " -r 'foreach ([\"display_errors\", \"zend.assertions\", \"mysqlnd.collect_memory_statistics\", "
        "\"error_reporting\", \"opcache.revalidate_freq\"] as $k) echo $k, \"=\", ini_get($k), \";\";'");
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    return run.Output;
  };
  EXPECT_EQ(settings(), "display_errors=1;zend.assertions=1;mysqlnd.collect_memory_statistics=1;"
                        "error_reporting=32767;opcache.revalidate_freq=0;");
  // PHP reads "Off" as an empty value; 22527 is E_ALL without E_DEPRECATED and E_STRICT.
  setup.brand = true;
  EXPECT_EQ(settings(), "display_errors=;zend.assertions=-1;mysqlnd.collect_memory_statistics=;"
                        "error_reporting=22527;opcache.revalidate_freq=2;");
}

TEST_F(WritePhpConfigTest, SessionFolderBelongsToTheWorkersWhenRunningAsRoot)
{
  setup.runningAsRoot = geteuid() == 0;
  WritePhpConfig(setup);
  struct stat st {
  };
  ASSERT_EQ(stat((setup.workFolder + "/sessions").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  const passwd *nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  EXPECT_EQ(st.st_uid, setup.runningAsRoot ? nobody->pw_uid : geteuid());
}

// ionCube's loader goes first among the Zend extensions, as it must, and only when the tree holds
// the one built for its PHP. The real PHP is told of a stand-in file whose only job is to be found
// where the loader would be: PHP names the file it failed to load, and still starts with opcache.
TEST_F(WritePhpConfigTest, IonCubesLoaderIsTheFirstZendExtensionWhenTheTreeHoldsItsVersion)
{
  const std::string extensions = "/usr/lib/php/20220829";
  const std::string templateIni = "/usr/lib/php/8.2/php.ini-development";
  if (!fs::exists("/usr/bin/php") || !fs::exists(extensions) || !fs::exists(templateIni))
    GTEST_SKIP() << "PHP 8.2 is not installed";
  fs::create_directories(setup.binFolder + "/php/ext");
  fs::copy_file(templateIni, setup.binFolder + "/php/php.ini");
  fs::create_symlink(extensions + "/opcache.so", setup.binFolder + "/php/ext/opcache.so");
  const std::string loader = setup.binFolder + "/php/ionCube/ioncube_loader_lin_8.2.so";
  EXPECT_EQ(IonCubeLoaderPath(setup.binFolder), loader);

  // A loader for another PHP is not this tree's: no line, no complaint.
  root.Write("My Stack/bin/php/ionCube/ioncube_loader_lin_7.4.so", "stand-in");
  std::string text = ReadBytes(WritePhpConfig(setup));
  EXPECT_EQ(text.find("ioncube_loader"), std::string::npos) << text;
  EXPECT_EQ(text.find("zend_extension_ts"), std::string::npos) << text;

  root.Write("My Stack/bin/php/ionCube/ioncube_loader_lin_8.2.so", "stand-in");
  const std::string path = WritePhpConfig(setup);
  text = ReadBytes(path);
  const size_t line = text.find("\nzend_extension=\"" + loader + "\"\r\n");
  ASSERT_NE(line, std::string::npos) << text;
  EXPECT_LT(line, text.find("\n[CLI Server]")) << "in [PHP], the first section";
  EXPECT_LT(line, text.find("\nzend_extension=\"" + setup.binFolder + "/php/ext/opcache.so\"")) << text;
  EXPECT_EQ(text.find("ioncube_loader", text.find('\n', line + 1)), std::string::npos)
      << "one line: " << text;

  const RunResult run =
      RunCommand("PHP_INI_SCAN_DIR= /usr/bin/php -c " + ShellQuoted(path) +
                 " -r 'echo extension_loaded(\"Zend OPcache\") ? \"opcache\" : \"none\";' 2>&1");
  EXPECT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_NE(run.Output.find("Failed loading " + loader), std::string::npos) << run.Output;
  EXPECT_NE(run.Output.find("opcache"), std::string::npos) << run.Output;

  // Written again from the same template, the loader still appears once.
  EXPECT_EQ(ReadBytes(WritePhpConfig(setup)), text);
}
