#include "config/BrowserIni.h"

#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace Corvala;
using namespace TestSupport;

TEST(ReplaceNoCase, ReplacesEveryOccurrenceInAnyCase)
{
  EXPECT_EQ(ReplaceNoCase("{BIN}/a {bin} {Bin}", "{bin}", "/x"), "/x/a /x /x");
  EXPECT_EQ(ReplaceNoCase("none here", "{bin}", "/x"), "none here");
  // The value itself holds the placeholder: it is not replaced again.
  EXPECT_EQ(ReplaceNoCase("{url}{url}", "{URL}", "<{url}>"), "<{url}><{url}>");
  EXPECT_EQ(ReplaceNoCase("{ur", "{url}", "x"), "{ur");
  EXPECT_EQ(ReplaceNoCase("", "{url}", "x"), "");
}

TEST(ReadBrowserIni, ExpandsPlaceholdersAndChecksTheProgram)
{
  TScratchFolder root("corvala browser");
  const std::string bin = root.File("bin");
  root.Write("bin/browser/run", "#!/bin/sh\n");
  root.Write("bin/Browser.ini", "[browser]\r\nBrowserPath={Bin}/browser/run\r\n"
                                "Parameters=\"--profile {BIN}/p --open {URL} {url}\"\r\n");
  const TBrowserSettings settings = ReadBrowserIni(bin, StartAddress(8080));
  EXPECT_EQ(settings.path, bin + "/browser/run");
  EXPECT_EQ(settings.parameters,
            "--profile " + bin + "/p --open http://127.0.0.1:8080 http://127.0.0.1:8080");
  EXPECT_TRUE(settings.usable);
  EXPECT_EQ(ReadBrowserIni(bin, "file:///run/page.html").parameters,
            "--profile " + bin + "/p --open file:///run/page.html file:///run/page.html");
}

TEST(ReadBrowserIni, MissingFileOrProgramIsNotUsable)
{
  TScratchFolder root;
  const std::string bin = root.File("bin");
  const TBrowserSettings none = ReadBrowserIni(bin, StartAddress(80));
  EXPECT_EQ(none.path, "");
  EXPECT_EQ(none.parameters, "");
  EXPECT_FALSE(none.usable);

  root.Write("bin/Browser.ini", "[Browser]\r\nBrowserPath={bin}/gone\r\nParameters={url}\r\n");
  const TBrowserSettings missing = ReadBrowserIni(bin, StartAddress(81));
  EXPECT_EQ(missing.path, bin + "/gone");
  EXPECT_EQ(missing.parameters, "http://127.0.0.1:81");
  EXPECT_FALSE(missing.usable);

  // A folder is not a program.
  std::filesystem::create_directories(bin + "/gone");
  EXPECT_FALSE(ReadBrowserIni(bin, StartAddress(81)).usable);

  root.Write("bin/Browser.ini", "[Browser]\r\nParameters=x\r\n");
  EXPECT_FALSE(ReadBrowserIni(bin, StartAddress(81)).usable);
}
