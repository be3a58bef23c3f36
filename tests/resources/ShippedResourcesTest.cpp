#include "resources/ExeResources.h"
#include "resources/IconFile.h"
#include "resources/ResourceTestSupport.h"

#include <array>
#include <set>

using namespace Resources;
using namespace ResourceTests;
using namespace TestSupport;

namespace
{

const std::string Probe = RESOURCE_PROBE;

uint32_t Field(const std::string &data, size_t at, int bytes)
{
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i)
    value = (value << 8) | static_cast<unsigned char>(data.at(at + i));
  return value;
}

// Width, height and bits per pixel of every entry of an icon file.
std::vector<std::array<uint32_t, 3>> IconFormats(const std::string &icon)
{
  std::vector<std::array<uint32_t, 3>> formats;
  for (size_t i = 0; i < IconImageCount(icon); ++i) {
    const size_t entry = 6 + 16 * i;
    // A directory entry's width and height byte 0 stands for 256.
    auto side = [](uint32_t byte) { return byte == 0 ? 256u : byte; };
    formats.push_back(
        {side(Field(icon, entry, 1)), side(Field(icon, entry + 1, 1)), Field(icon, entry + 6, 2)});
    // Each image is a DIB whose header agrees with its entry and whose height covers the mask.
    const std::string image = IconFileImage(icon, i);
    EXPECT_EQ(Field(image, 0, 4), 40u);
    EXPECT_EQ(Field(image, 4, 4), formats.back()[0]);
    EXPECT_EQ(Field(image, 8, 4), 2 * formats.back()[1]);
    EXPECT_EQ(Field(image, 14, 2), formats.back()[2]);
  }
  return formats;
}

} // namespace

TEST(ShippedResources, TheEmbeddedProgramRunsAndListsThem)
{
  const RunResult run = RunCommand(ShellQuoted(Probe));
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Output, "3 1 2052 4264\n"
                        "3 2 2052 1128\n"
                        "3 3 2052 9640\n"
                        "3 4 2052 16936\n"
                        "3 5 2052 67624\n"
                        "3 6 2052 270376\n"
                        "10 RES_AUTORUN 0 35\n"
                        "10 RES_CD 0 23558\n"
                        "10 RES_CONFIG_INI 0 89\n"
                        "10 RES_SPLASH 0 64002\n"
                        "14 MAINICON 2052 90\n");
}

TEST(ShippedResources, TextResourcesAreExact)
{
  EXPECT_EQ(ReadResource(Probe, RT_RCDATA, "RES_CONFIG_INI"),
            "[INI]\r\nfullscreen=0\r\ntitle=Corvala\r\nport=80\r\nip=127.0.0.1\r\ncopyfilestoharddisk="
            "0\r\nbrand=0");
  EXPECT_EQ(ReadResource(Probe, RT_RCDATA, "RES_AUTORUN"), "[autorun]\r\nicon=runme\r\nopen=runme\r\n");
}

TEST(ShippedResources, SplashIsAnUncompressed24BitBitmap)
{
  const std::string bmp = ReadResource(Probe, RT_RCDATA, "RES_SPLASH").value_or("");
  ASSERT_EQ(bmp.size(), 64002u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");
  EXPECT_EQ(Field(bmp, 2, 4), 64002u); // file size
  EXPECT_EQ(Field(bmp, 10, 4), 54u);   // pixel data offset
  EXPECT_EQ(Field(bmp, 18, 4), 292u);
  EXPECT_EQ(Field(bmp, 22, 4), 73u);
  EXPECT_EQ(Field(bmp, 28, 2), 24u);
  EXPECT_EQ(Field(bmp, 30, 4), 0u);                                    // no compression
  EXPECT_GT(std::set<char>(bmp.begin() + 54, bmp.end()).size(), 100u); // a drawing, not a fill
}

TEST(ShippedResources, CdIconHoldsEightImages)
{
  const std::string icon = ReadResource(Probe, RT_RCDATA, "RES_CD").value_or("");
  ASSERT_EQ(icon.size(), 23558u);
  ASSERT_TRUE(IsValidIconFile(icon.data(), icon.size()));
  using F = std::array<uint32_t, 3>;
  EXPECT_EQ(IconFormats(icon), (std::vector<F>{{32, 32, 4},
                                               {16, 16, 4},
                                               {48, 48, 8},
                                               {32, 32, 8},
                                               {16, 16, 8},
                                               {48, 48, 32},
                                               {32, 32, 32},
                                               {16, 16, 32}}));
}

TEST(ShippedResources, MainIconKeepsItsSmallImagesAndAddsTheDesktopSizesInLanguage2052)
{
  const std::string group = ReadResource(Probe, RT_GROUP_ICON, "MAINICON").value_or("");
  ASSERT_EQ(group.size(), 6u + 14 * 6);
  EXPECT_EQ(IconGroupIds(group), (std::vector<uint16_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(GetResourceLanguage(Probe, RT_GROUP_ICON, "mainicon"), 2052);
  for (uint16_t id = 1; id <= 6; ++id)
    EXPECT_EQ(GetResourceLanguage(Probe, RT_ICON, id), 2052) << id;
  const std::optional<std::string> icon = ReadIconResource(Probe, "MAINICON");
  ASSERT_TRUE(icon.has_value());
  ASSERT_TRUE(IsValidIconFile(icon->data(), icon->size()));
  using F = std::array<uint32_t, 3>;
  EXPECT_EQ(IconFormats(*icon),
            (std::vector<F>{
                {32, 32, 32}, {16, 16, 32}, {48, 48, 32}, {64, 64, 32}, {128, 128, 32}, {256, 256, 32}}));
}

TEST(ShippedResources, ToolReportsFailuresWithExitCodeOne)
{
  const std::string tool = ShellQuoted(CORVALA_RES);
  TScratchFolder dir;
  RunResult run = RunCommand(tool + " get " + ShellQuoted(Probe) + " RCDATA RES_AUTORUN > " +
                             ShellQuoted(dir.File("a.inf")));
  EXPECT_EQ(run.ExitCode, 0);
  EXPECT_EQ(ReadBytes(dir.File("a.inf")), "[autorun]\r\nicon=runme\r\nopen=runme\r\n");
  run = RunCommand(tool + " get " + ShellQuoted(Probe) + " RCDATA RES_NONE");
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("Resource RES_NONE not found"), std::string::npos) << run.Output;
  run = RunCommand(tool + " set " + ShellQuoted(dir.File("missing")) + " RCDATA X 0 " +
                   ShellQuoted(dir.File("a.inf")));
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_NE(run.Output.find("No such file or directory"), std::string::npos) << run.Output;
  EXPECT_EQ(RunCommand(tool + " frobnicate").ExitCode, 1);
  WriteBytes(dir.File("plain"), "plain");
  EXPECT_EQ(RunCommand(tool + " set " + ShellQuoted(dir.File("plain")) + " 10 7 1033 " +
                       ShellQuoted(dir.File("a.inf")))
                .ExitCode,
            0);
  EXPECT_EQ(RunCommand(tool + " list " + ShellQuoted(dir.File("plain"))).Output, "10 7 1033 35\n");
  EXPECT_EQ(RunCommand(tool + " remove " + ShellQuoted(dir.File("plain")) + " RCDATA 7 1033").ExitCode, 0);
  EXPECT_EQ(ReadBytes(dir.File("plain")), "plain");
}
