// A Brand.ini a build script names: checked, and copied over the dialog's start-up values.
#include "packaging/GivenBrandFile.h"

#include "config/ConfigFile.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <stdexcept>
#include <unistd.h>

using namespace Corvala;

namespace
{

// A script's folder made current for the test (its paths are taken from there) and a work folder.
struct GivenBrandFile : ::testing::Test {
  GivenBrandFile() : before(std::filesystem::current_path())
  {
    std::filesystem::create_directories(root.File("work"));
    std::filesystem::current_path(root.Path());
  }
  ~GivenBrandFile() override { std::filesystem::current_path(before); }

  std::string Import(const std::string &text)
  {
    root.Write("Brand.ini", text);
    return ImportBrandFile("Brand.ini", root.File("work"));
  }
  // The refusal of the text's Brand.ini; empty when it was taken.
  std::string Refusal(const std::string &text)
  {
    try {
      Import(text);
    } catch (const std::runtime_error &error) {
      return error.what();
    }
    return {};
  }

  TestSupport::TScratchFolder root{"corvala-given-brand"};
  std::filesystem::path before;
};

const std::string Required = "[INI]\r\ntitle=\"Acme Shop\"\r\nport=8088\r\noutputdir=dist/acme\r\n";

} // namespace

TEST_F(GivenBrandFile, GivenKeysGoOverTheStartUpValuesWithPathsFromTheCurrentFolder)
{
  root.Write("art/splash.png", "png");
  root.Write("art/acme.ico", "ico");
  std::filesystem::create_directories(root.File("site"));
  const std::string copy = Import(Required + "splashfilename=art/splash.png\r\niconfile=./art/acme.ico\r\n"
                                             "SrcDir=site\r\nip=all\r\nbrand=0\r\ndevtools=1\r\n");
  EXPECT_EQ(copy, root.File("work/Brand.ini"));
  const TConfigFile brand(copy);
  EXPECT_EQ(brand.Read("title"), "Acme Shop");
  EXPECT_EQ(brand.Read("port"), "8088");
  EXPECT_EQ(brand.Read("ip"), "all");
  EXPECT_EQ(brand.Read("outputdir"), root.File("dist/acme"));
  EXPECT_EQ(brand.Read("splashfilename"), root.File("art/splash.png"));
  EXPECT_EQ(brand.Read("iconfile"), root.File("art/acme.ico"));
  EXPECT_EQ(brand.Read("srcdir"), root.File("site"));
  EXPECT_EQ(brand.Read("datadir"), "") << "nothing chosen: all the launcher's databases";
  // What the script left out keeps the dialog's start-up value; a distribution is always branded.
  EXPECT_EQ(brand.Read("toolbar"), "1");
  EXPECT_EQ(brand.Read("trayicon"), "0");
  EXPECT_EQ(brand.Read("brand"), "1");
  EXPECT_EQ(brand.Read("devtools"), "1");
  EXPECT_EQ(TestSupport::ReadBytes(root.File("Brand.ini")).find("work"), std::string::npos)
      << "the script's own file is left as it is";
}

TEST_F(GivenBrandFile, AFileThatIsNoUsableBrandIniIsRefusedWithWhatIsWrong)
{
  root.Write("logo.png", "png");
  const std::string named = "The brand file \"Brand.ini\" ";
  EXPECT_EQ(Refusal("\x7f"
                    "ELF\x02\x01\x01 binary"),
            named + "is no Brand.ini: it has no [INI] section with keys");
  EXPECT_EQ(Refusal("[Other]\r\ntitle=x\r\n"), named + "is no Brand.ini: it has no [INI] section with keys");
  EXPECT_EQ(Refusal("[INI]\r\ntitle=x\r\n"), named + "lacks \"port\", \"outputdir\" in its [INI] section");
  EXPECT_EQ(Refusal("[INI]\r\ntitle=x\r\nport=80\r\noutputdir=\r\n"),
            named + "has an empty outputdir: it names the folder the distribution is built in");
  EXPECT_EQ(Refusal("[INI]\r\ntitle=x\r\nport=0\r\noutputdir=out\r\n"),
            named + "has port 0, which is not from 1 to 65535");
  EXPECT_EQ(Refusal("[INI]\r\ntitle=x\r\nport=65536\r\noutputdir=out\r\n"),
            named + "has port 65536, which is not from 1 to 65535");
  EXPECT_EQ(Refusal("[INI]\r\ntitle=x\r\nport=eighty\r\noutputdir=out\r\n"),
            "Brand.ini, key \"port\": 'eighty' is not a valid integer value");
  EXPECT_NE(Refusal(Required + "ip=everywhere\r\n").find("key \"ip\": 'everywhere' is not a valid IPv4"),
            std::string::npos);
  EXPECT_EQ(Refusal(Required + "iconfile=missing.ico\r\n"),
            named + "names iconfile \"" + root.File("missing.ico") + "\", which is no regular file");
  EXPECT_EQ(Refusal(Required + "srcdir=logo.png\r\n"),
            named + "names srcdir \"" + root.File("logo.png") + "\", which is no folder");

  EXPECT_THROW(
      {
        try {
          ImportBrandFile("missing.ini", root.File("work"));
        } catch (const std::runtime_error &error) {
          EXPECT_STREQ(error.what(), "The brand file \"missing.ini\" does not exist");
          throw;
        }
      },
      std::runtime_error);
  EXPECT_THROW(ImportBrandFile(root.File("work"), root.File("work")), std::runtime_error)
      << "a folder is no Brand.ini";
}
