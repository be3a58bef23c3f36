// The command line handed to the modes inside this test program: the down-size hand-over and the
// embedding switches on plain files (the modes that start this program's own file again are run
// as the real program by the end-to-end tests).
#include "app/CommandModes.h"

#include "resources/ExeResources.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using Base::TStringArray;

namespace
{

class CommandLine : public ::testing::Test
{
protected:
  void SetUp() override
  {
    std::string pattern = (std::filesystem::temp_directory_path() / "command_modesXXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder = pattern;
    // An escaping error then goes to standard error only, never to a box waiting for OK.
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"})
      if (const char *value = std::getenv(name)) {
        saved[name] = value;
        unsetenv(name);
      }
  }
  void TearDown() override
  {
    SetDownSizeRunner(nullptr);
    for (const auto &[name, value] : saved)
      setenv(name.c_str(), value.c_str(), 1);
    std::filesystem::remove_all(folder);
  }

  int Run(TStringArray arguments)
  {
    arguments.insert(arguments.begin(), "corvala");
    std::vector<char *> argv;
    for (std::string &argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    return RunCommandLine(static_cast<int>(arguments.size()), argv.data());
  }
  std::string Write(const std::string &name, const std::string &bytes)
  {
    const std::string path = folder + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  void RecordDownSize()
  {
    SetDownSizeRunner([this](const TStringArray &flags) { downSizeCalls.push_back(flags); });
  }

  std::string folder;
  std::map<std::string, std::string> saved;
  std::vector<TStringArray> downSizeCalls;
};

} // namespace

TEST_F(CommandLine, DownSizeNeedsSixFlagsAndGetsSeventeen)
{
  RecordDownSize();
  EXPECT_EQ(Run({"downsize", "-1", "0", "-1", "0", "-1"}), 0);
  EXPECT_TRUE(downSizeCalls.empty());

  EXPECT_EQ(Run({"DownSize", "-1", "0", "-1", "0", "-1", "1"}), 0);
  ASSERT_EQ(downSizeCalls.size(), 1u);
  EXPECT_EQ(downSizeCalls[0], (TStringArray{"-1", "0", "-1", "0", "-1", "1", "0", "0", "0", "0", "0", "0",
                                            "0", "0", "0", "0", "0"}));

  TStringArray many{"DOWNSIZE"};
  for (int i = 1; i <= 19; ++i)
    many.push_back(std::to_string(i));
  EXPECT_EQ(Run(many), 0);
  ASSERT_EQ(downSizeCalls.size(), 2u);
  EXPECT_EQ(downSizeCalls[1], TStringArray(many.begin() + 1, many.begin() + 18));
}

TEST_F(CommandLine, DownSizeFailuresEndWithExitCodeOne)
{
  const TStringArray command{"downsize", "0", "0", "0", "0", "0", "0"};
  EXPECT_EQ(Run(command), 1) << "no down-size work registered";
  SetDownSizeRunner([](const TStringArray &) { throw std::runtime_error("Cannot delete"); });
  EXPECT_EQ(Run(command), 1);
  SetDownSizeRunner([](const TStringArray &) { throw 42; });
  EXPECT_EQ(Run(command), 1);
}

TEST_F(CommandLine, NoArgumentsAndUnknownWordsDoNothing)
{
  RecordDownSize();
  EXPECT_EQ(Run({}), 0);
  EXPECT_EQ(Run({"down-size", "0", "0", "0", "0", "0", "0"}), 0);
  EXPECT_TRUE(downSizeCalls.empty());
}

TEST_F(CommandLine, EmbeddingSwitchesClearReadOnlyAndEmbedTheFile)
{
  const std::string target = Write("target", "program bytes");
  ASSERT_EQ(chmod(target.c_str(), 0444), 0);
  EXPECT_EQ(Run({"/Config", target, Write("config.ini", "[INI]\r\ntitle=T")}), 0);
  struct stat st {
  };
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  EXPECT_EQ(Resources::ReadResource(target, Resources::RT_RCDATA, "RES_CONFIG_INI"), "[INI]\r\ntitle=T");

  EXPECT_EQ(Run({"/SPLASH", target, Write("splash.bmp", "BM picture")}), 0);
  EXPECT_EQ(Resources::ReadResource(target, Resources::RT_RCDATA, "RES_SPLASH"), "BM picture");
  EXPECT_EQ(Resources::ReadResource(target, Resources::RT_RCDATA, "RES_CONFIG_INI"), "[INI]\r\ntitle=T");
}

TEST_F(CommandLine, ErrorsEscapingAnEmbeddingSwitchGiveExitCodeOne)
{
  const std::string target = Write("target", "program bytes");
  EXPECT_EQ(Run({"/config", target, "/proc/self/mem"}), 1);
  EXPECT_EQ(Run({"/icon", target, Write("icon.ico", "MZ")}), 1);
  EXPECT_EQ(Run({"/icon", target, Write("empty.ico", std::string(6, '\0'))}), 1) << "target without MAINICON";
  EXPECT_FALSE(Resources::ReadResource(target, Resources::RT_RCDATA, "RES_CONFIG_INI").has_value());
}
