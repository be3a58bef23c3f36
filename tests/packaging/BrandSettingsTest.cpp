#include "packaging/BrandSettings.h"

#include "AppFolder.h"
#include "config/BrandDefaults.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace Corvala;

namespace
{

TBrandSettings StoredSettings(const TestSupport::TScratchFolder &folder)
{
  TBrandSettings s;
  s.SplashFileName = folder.Write("splash.png", "png");
  s.Title = "Stored";
  s.IconFile = folder.Write("brand.ico", "ico");
  s.DataDir = folder.Path();
  s.SrcDir = folder.Path();
  s.OutputDir = "";
  s.Port = 80;
  return s;
}

} // namespace

TEST(BrandSettings, NewBrandIniReadsTheStartUpValues)
{
  TestSupport::TScratchFolder work;
  const TBrandSettings s = ReadBrandSettings(TConfigFile(WriteBrandDefaults(work.Path())));
  EXPECT_EQ(s.Title, "My Program");
  EXPECT_EQ(s.SplashFileName, "");
  EXPECT_EQ(s.IconFile, "");
  EXPECT_EQ(s.Port, 80);
  EXPECT_EQ(s.Toolbar, "1");
  EXPECT_EQ(s.StatusBar, "1");
  EXPECT_EQ(s.TrayIcon, "0");
  EXPECT_EQ(s.FullScreen, "0");
  EXPECT_EQ(s.IP, "127.0.0.1");
  EXPECT_EQ(s.CopyFilesToHardDisk, "0");
  EXPECT_EQ(s.OutputDir, "");
}

TEST(BrandSettings, TextsAndPathsAreWrittenQuotedAndReadBackAsGiven)
{
  TestSupport::TScratchFolder work;
  const TConfigFile brand(WriteBrandDefaults(work.Path()));
  TBrandSettings s = ReadBrandSettings(brand);
  s.Title = "";
  s.SrcDir = "/srv/my site";
  s.IconFile = "/icons/\"quoted\".ico";
  s.IP = "all";
  s.TrayIcon = "1";
  s.Port = 8088;
  WriteBrandSettings(brand, s);

  const std::string text = TestSupport::ReadBytes(brand.Path());
  EXPECT_NE(text.find("title=\"\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("srcdir=\"/srv/my site\"\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("port=8088\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ip=all\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("brand=1"), std::string::npos) << text;

  const TBrandSettings back = ReadBrandSettings(brand);
  EXPECT_EQ(back.Title, "");
  EXPECT_EQ(back.SrcDir, "/srv/my site");
  EXPECT_EQ(back.IconFile, "/icons/\"quoted\".ico");
  EXPECT_EQ(back.IP, "all");
  EXPECT_EQ(back.TrayIcon, "1");
  EXPECT_EQ(back.Port, 8088);
}

TEST(BrandSettings, PortThatIsNotADecimalIntegerIsRefused)
{
  TestSupport::TScratchFolder work;
  const TConfigFile brand(WriteBrandDefaults(work.Path()));
  brand.Write("port", "8o");
  try {
    ReadBrandSettings(brand);
    FAIL() << "no error";
  } catch (const std::invalid_argument &error) {
    EXPECT_STREQ(error.what(), "'8o' is not a valid integer value");
  }
}

TEST(BrandEntries, PlaceholdersMissingPathsAndEmptyFieldsKeepTheStoredValues)
{
  TestSupport::TScratchFolder folder;
  TBrandSettings s = StoredSettings(folder);
  const TBrandSettings before = s;
  TBrandEntries e;
  e.Image = "Select an image for splash screen (*.bmp, *.jpg, *.png)";
  e.Icon = folder.File("missing.ico");
  e.Title = "Stored";
  e.SrcDir = "Where your website files are located (eg: www)";
  e.DataDir = "";
  e.OutputDir = "Where you like to put a generated exe file (eg: desktop)";
  ApplyBrandEntries(s, e);
  EXPECT_EQ(s.SplashFileName, before.SplashFileName);
  EXPECT_EQ(s.IconFile, before.IconFile);
  EXPECT_EQ(s.SrcDir, before.SrcDir);
  EXPECT_EQ(s.DataDir, before.DataDir);
  EXPECT_EQ(s.OutputDir, "");
}

TEST(BrandEntries, TextsAreTrimmedAndRelativeFoldersExpandedAgainstTheLauncherFolder)
{
  TAppFolderEntries app;
  const std::string www = app.Make("www");
  TestSupport::TScratchFolder folder;
  const std::string image = folder.Write("splash image.png", "png");
  TBrandSettings s = StoredSettings(folder);
  TBrandEntries e;
  e.Image = "  " + image + "\t";
  e.Title = "  Acme Shop  ";
  e.SrcDir = " www ";
  e.OutputDir = "./www/../www";
  ApplyBrandEntries(s, e);
  EXPECT_EQ(s.SplashFileName, image);
  EXPECT_EQ(s.Title, "Acme Shop");
  EXPECT_EQ(s.SrcDir, www);
  EXPECT_EQ(s.OutputDir, www);
}

TEST(BrandEntries, ClearedTitleIsStoredEmpty)
{
  TestSupport::TScratchFolder folder;
  TBrandSettings s = StoredSettings(folder);
  TBrandEntries e;
  e.Title = "   ";
  ApplyBrandEntries(s, e);
  EXPECT_EQ(s.Title, "");
}

TEST(BrandEntries, ListChoicesBecomeFlagsAndTheAddress)
{
  TestSupport::TScratchFolder folder;
  TBrandSettings s = StoredSettings(folder);
  TBrandEntries e;
  e.Toolbar = false;
  e.StatusBar = true;
  e.TrayIcon = false;
  e.FullScreen = true;
  e.CopyFilesToHardDisk = false;
  e.Loopback = false;
  e.Port = 65535;
  ApplyBrandEntries(s, e);
  EXPECT_EQ(s.Toolbar, "0");
  EXPECT_EQ(s.StatusBar, "1");
  EXPECT_EQ(s.TrayIcon, "0");
  EXPECT_EQ(s.FullScreen, "1");
  EXPECT_EQ(s.CopyFilesToHardDisk, "0");
  EXPECT_EQ(s.IP, "all");
  EXPECT_EQ(s.Port, 65535);
  e.Loopback = true;
  ApplyBrandEntries(s, e);
  EXPECT_EQ(s.IP, "127.0.0.1");
}

TEST(BrandFields, FlagItemAndPathTextsFollowTheStoredValues)
{
  TestSupport::TScratchFolder folder;
  EXPECT_EQ(FlagItem("0"), 1);
  EXPECT_EQ(FlagItem(""), 0);
  EXPECT_EQ(FlagItem("no"), 0);
  const std::string file = folder.Write("a.ico", "x");
  EXPECT_EQ(FileFieldText(file, "placeholder"), file);
  EXPECT_EQ(FileFieldText(folder.Path(), "placeholder"), "placeholder");
  EXPECT_EQ(FolderFieldText(folder.Path(), "placeholder"), folder.Path());
  EXPECT_EQ(FolderFieldText(file, "placeholder"), "placeholder");
}
