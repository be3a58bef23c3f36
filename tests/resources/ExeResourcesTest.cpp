#include "resources/ExeResources.h"
#include "files/FileIO.h"
#include "resources/IconFile.h"
#include "resources/ResourceTestSupport.h"

#include <sys/stat.h>

using namespace Files;
using namespace Resources;
using namespace ResourceTests;
using namespace TestSupport;

namespace
{

// A copy of the program that carries the shipped resources, in a private folder.
class ExeResources : public ::testing::Test
{
protected:
  void SetUp() override
  {
    Exe = Dir.File("runme");
    fs::copy_file(RESOURCE_PROBE, Exe);
    ASSERT_EQ(GetResourceLanguage(Exe, RT_GROUP_ICON, "MAINICON"), 2052);
  }

  // The message ReplaceMainIcon raises, or "" when it succeeds.
  std::string ReplaceError(const std::string &icon)
  {
    try {
      ReplaceMainIcon(Exe, icon);
    } catch (const std::runtime_error &e) {
      return e.what();
    }
    return "";
  }

  std::string WriteIcon(const std::string &data)
  {
    WriteBytes(Dir.File("icon.ico"), data);
    return Dir.File("icon.ico");
  }

  TScratchFolder Dir;
  std::string Exe;
};

} // namespace

TEST_F(ExeResources, TwoImageGroupReplacedByThreeImages)
{
  const std::vector<std::string> images = {"image one", "image two!", "three"};
  ASSERT_EQ(ReplaceError(WriteIcon(MakeIcon(images))), "");

  const TResourceList resources = ReadResourceStore(Exe).Resources;
  EXPECT_EQ(ResourceLanguages(resources, RT_GROUP_ICON, "MAINICON"), (std::vector<uint16_t>{1033}));
  for (uint16_t id = 1; id <= 3; ++id) {
    EXPECT_EQ(ResourceLanguages(resources, RT_ICON, id), (std::vector<uint16_t>{1033})) << id;
    EXPECT_EQ(FindResource(resources, RT_ICON, id)->Data, images[id - 1]);
  }
  for (const TResource &r : resources)
    EXPECT_NE(r.Language, 2052) << r.Type << " " << r.Name.ToString();
  const std::string group = FindResource(resources, RT_GROUP_ICON, "MAINICON")->Data;
  EXPECT_EQ(group, BuildIconGroup(MakeIcon(images), 0, 1));
  EXPECT_EQ(ReadIconResource(Exe, "MAINICON"), MakeIcon(images));
  // The other resources and the program itself are unharmed.
  EXPECT_EQ(FindResource(resources, RT_RCDATA, "RES_CONFIG_INI")->Data.size(), 89u);
  const RunResult run = RunCommand(ShellQuoted(Exe));
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_NE(run.Output.find("14 MAINICON 1033 48\n"), std::string::npos) << run.Output;
}

TEST_F(ExeResources, ZeroImagesLeaveAnEmptyGroup)
{
  ASSERT_EQ(ReplaceError(WriteIcon(MakeIcon({}))), "");
  const TResourceList resources = ReadResourceStore(Exe).Resources;
  EXPECT_EQ(FindResource(resources, RT_GROUP_ICON, "MAINICON")->Data, std::string("\0\0\1\0\0\0", 6));
  EXPECT_EQ(FindResource(resources, RT_ICON, 1), nullptr);
  EXPECT_EQ(FindResource(resources, RT_ICON, 2), nullptr);
}

TEST_F(ExeResources, IconFileSizeLimitIsOneMebibyte)
{
  std::string icon = MakeIcon({std::string(1048576 - 22, 'p')});
  ASSERT_EQ(icon.size(), 1048576u);
  EXPECT_EQ(ReplaceError(WriteIcon(icon)), "");
  EXPECT_EQ(FindResource(ReadResourceStore(Exe).Resources, RT_ICON, 1)->Data.size(), 1048576u - 22);
  const std::string before = ReadBytes(Exe);
  EXPECT_EQ(ReplaceError(WriteIcon(icon + "x")), "Resource update error: Icon file is too large");
  EXPECT_EQ(ReadBytes(Exe), before);
}

TEST_F(ExeResources, InvalidIconFilesAreRefusedAndTheTargetKept)
{
  const std::string before = ReadBytes(Exe);
  std::string pastEnd = MakeIcon({"abcd"});
  pastEnd.pop_back();
  EXPECT_EQ(ReplaceError(WriteIcon(pastEnd)), "Resource update error: Icon file is invalid");
  EXPECT_EQ(ReplaceError(WriteIcon(std::string("\0\0\1\0\0", 5))),
            "Resource update error: Icon file is invalid");
  // The start of a real program (the whole one is over the size limit).
  EXPECT_EQ(ReplaceError(WriteIcon(ReadBytes(RESOURCE_PROBE).substr(0, 65536))),
            "Resource update error: Icon file is invalid");
  EXPECT_EQ(ReplaceError(WriteIcon("MZ" + MakeIcon({}).substr(2))),
            "Resource update error: Icon file is invalid");
  // Within the size limit, but its hundred entries all name one image: a hundredfold copy.
  std::string overlapping = MakeIcon(std::vector<std::string>(100, ""));
  const uint32_t image = static_cast<uint32_t>(overlapping.size());
  const uint32_t imageSize = 1048576 - image;
  overlapping += std::string(imageSize, 'p');
  for (size_t entry = 0; entry < 100; ++entry) {
    std::string field;
    PutLE(field, imageSize, 4);
    PutLE(field, image, 4);
    overlapping.replace(6 + 16 * entry + 8, 8, field);
  }
  EXPECT_EQ(ReplaceError(WriteIcon(overlapping)), "Resource update error: Icon file is invalid");
  EXPECT_EQ(ReadBytes(Exe), before);

  try {
    ReplaceMainIcon(Exe, Dir.File("missing.ico"));
    ADD_FAILURE();
  } catch (const EFileError &e) {
    EXPECT_EQ(e.ErrorCode, ENOENT);
    EXPECT_STREQ(e.what(), "No such file or directory");
  }
}

TEST_F(ExeResources, UpdateStepFailuresCarryTheStepAndErrorCode)
{
  const std::string icon = WriteIcon(MakeIcon({"a"}));
  const std::string missing = Dir.File("gone");
  try {
    ReplaceMainIcon(missing, icon);
    ADD_FAILURE();
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "Resource update error: BeginUpdateResource failed (1)(2)");
  }
  WriteBytes(Dir.File("plain"), "no resources here");
  try {
    ReplaceMainIcon(Dir.File("plain"), icon);
    ADD_FAILURE();
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "Resource update error: FindResource failed (1)(2)");
  }
  EXPECT_EQ(ReadBytes(Dir.File("plain")), "no resources here");
  UpdateExeIcon(missing, icon); // nothing to clear: left alone, no error
  EXPECT_FALSE(fs::exists(missing));
}

TEST_F(ExeResources, UpdateExeRCDataClearsReadOnlyAndWritesLanguageZero)
{
  ASSERT_EQ(chmod(Exe.c_str(), 0555), 0);
  EXPECT_TRUE(UpdateExeRCData(Exe, "res_config_ini", "[INI]\r\nport=8080"));
  struct stat st {
  };
  ASSERT_EQ(stat(Exe.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  const TResourceList resources = ReadResourceStore(Exe).Resources;
  EXPECT_EQ(ResourceLanguages(resources, RT_RCDATA, "RES_CONFIG_INI"), (std::vector<uint16_t>{0}));
  EXPECT_EQ(*ReadResource(Exe, RT_RCDATA, "RES_CONFIG_INI"), "[INI]\r\nport=8080");
  EXPECT_EQ(ReadResource(Exe, RT_RCDATA, "RES_SPLASH")->size(), 64002u);
  EXPECT_EQ(
      RunCommand(ShellQuoted(Exe) + " extract RES_CONFIG_INI " + ShellQuoted(Dir.File("out.ini"))).ExitCode,
      0);
  EXPECT_EQ(ReadBytes(Dir.File("out.ini")), "[INI]\r\nport=8080");

  EXPECT_FALSE(UpdateExeRCData(Dir.File("missing"), "RES_CONFIG_INI", "x"));
  EXPECT_FALSE(fs::exists(Dir.Path() / "missing"));
  EXPECT_FALSE(UpdateExeRCData(Exe, std::string(MaxResourceNameBytes + 1, 'n'), "x"));
  EXPECT_EQ(GetResourceLanguage(Exe, RT_RCDATA, "RES_NONE"), 0);
}

TEST_F(ExeResources, ExtractResourceToFileWritesOrExplains)
{
  const std::string out = Dir.File("Config.ini");
  RunResult run = RunCommand(ShellQuoted(Exe) + " extract res_Config_ini " + ShellQuoted(out));
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_EQ(ReadBytes(out).size(), 89u);
  struct stat st {
  };
  ASSERT_EQ(stat(out.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  WriteBytes(out, std::string(500, 'z')); // a longer file is replaced wholly
  EXPECT_EQ(RunCommand(ShellQuoted(Exe) + " extract RES_AUTORUN " + ShellQuoted(out)).ExitCode, 0);
  EXPECT_EQ(ReadBytes(out), "[autorun]\r\nicon=runme\r\nopen=runme\r\n");

  run = RunCommand(ShellQuoted(Exe) + " extract Res_Nothing " + ShellQuoted(out));
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output, "Resource Res_Nothing not found\n");

  run = RunCommand("cd " + ShellQuoted(Dir.Path().string()) + " && " + ShellQuoted(Exe) +
                   " extract RES_CD no/such.ico");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_EQ(run.Output,
            "Cannot create file \"" + Dir.File("no/such.ico") + "\". No such file or directory\n");

  // This test program carries no resources of its own.
  try {
    ExtractResourceToFile("RES_CONFIG_INI", out);
    ADD_FAILURE();
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "Resource RES_CONFIG_INI not found");
  }
}
