// The command modes of the real program, each run as its own process on copies in a temporary
// folder; the target is a small program that reports the resources it finds when it runs.
#include "ModesSupport.h"

#include "digest/Md5.h"
#include "support/WaitUntil.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Modes;
using namespace std::chrono_literals;
namespace fs = std::filesystem;
using Resources::RT_GROUP_ICON;
using Resources::RT_ICON;
using Resources::RT_RCDATA;

namespace
{

const std::string NewConfig = "[INI]\r\ntitle=Changed Title\r\nport=8080";
const std::string Image = "BM" + std::string(200, 'i');

class CommandModes : public ::testing::Test
{
protected:
  std::string Config() const { return folder.Write("new config.ini", NewConfig); }
  std::string Icon(const std::vector<uint32_t> &sizes) const
  {
    return folder.Write("new.ico", IconFile(sizes));
  }
  std::string TargetConfig() const { return ResourceData(folder.Target(), RT_RCDATA, "RES_CONFIG_INI", 0); }
  bool Opened() const { return access(folder.OpenedMarker().c_str(), F_OK) == 0; }
  TRun RunMode(const std::vector<std::string> &arguments,
               const std::map<std::string, std::string> &environment = {}) const
  {
    return RunProgram(folder.Program(), arguments, environment);
  }

  TFolder folder;
  const std::string shippedTarget = ReadFile(folder.Target());
  const std::string shippedConfig = TargetConfig();
};

// The line the target writes for a resource it found in its own file.
std::string MarkerLine(const std::string &type, const std::string &name, const std::string &language,
                       const std::string &data)
{
  return type + " " + name + " " + language + " " + Digest::Md5Hex(data) + "\n";
}

mode_t ModeOf(const std::string &path)
{
  struct stat st {
  };
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

} // namespace

TEST_F(CommandModes, CommandLinesThatMatchNoModeEndAtOnceAndChangeNothing)
{
  const std::string config = Config();
  const std::string icon = Icon({40});
  const std::string missing = folder.Path("missing.ini");
  const std::string fifo = folder.Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::vector<std::vector<std::string>> lines = {
      {"nomode", folder.Target(), config},
      {"splash", missing},
      {"downsize", "0", "-1", "0", "0", "0"},
      {"/config", folder.Target()},
      {"/config", folder.Target(), missing},
      {"/config", missing, config},
      {"/icon", folder.Target()},
      {"/splash", folder.Target(), missing},
      {"/setup", missing, config, icon},
      {"setup", folder.Target(), config},
      // Devices and FIFOs are no files to read whole: reading them would not end.
      {"/splash", folder.Target(), fifo},
      {"/config", folder.Target(), "/dev/zero"},
      {"/icon", folder.Target(), fifo},
      {"/setup", folder.Target(), fifo, "/dev/zero", fifo, "no opening"},
      {"splash", fifo},
  };
  for (const auto &line : lines) {
    SCOPED_TRACE(line[0] + " with " + std::to_string(line.size() - 1) + " more arguments");
    const TRun run = RunMode(line);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "");
  }
  EXPECT_EQ(ReadFile(folder.Target()), shippedTarget);
  EXPECT_FALSE(Opened());
}

TEST_F(CommandModes, ModeWordsIgnoreLetterCase)
{
  ASSERT_EQ(RunMode({"/CONFIG", folder.Target(), Config()}).exitCode, 0);
  EXPECT_EQ(TargetConfig(), NewConfig);
  ASSERT_EQ(RunMode({"/Splash", folder.Target(), folder.Write("new.bmp", Image)}).exitCode, 0);
  EXPECT_EQ(ResourceData(folder.Target(), RT_RCDATA, "RES_SPLASH", 0), Image);
  ASSERT_EQ(RunMode({"/ICON", folder.Target(), Icon({40})}).exitCode, 0);
  EXPECT_EQ(LanguagesOfType(folder.Target(), RT_GROUP_ICON), std::vector<uint16_t>{1033});

  // "Splash" with a configuration that leaves the splash on becomes the splash process: the only
  // role that loads a display platform. It serves until it is ended from outside.
  const pid_t splash = Start(folder.Program(), {"Splash", folder.Write("Config.ini", "[INI]\r\ntitle=X")},
                             {{"QT_QPA_PLATFORM", "offscreen"}});
  const std::string maps = "/proc/" + std::to_string(splash) + "/maps";
  const bool platformLoaded =
      TestSupport::WaitUntil([&] { return ReadFile(maps).find("libqoffscreen") != std::string::npos; }, 60s,
                             "the splash process to load the display platform");
  kill(splash, SIGKILL);
  EXPECT_EQ(Wait(splash).signal, SIGKILL);
  EXPECT_TRUE(platformLoaded);
}

TEST_F(CommandModes, SetupWithConfigEmbedsItThenOpensTheTargetWhichReadsTheNewConfig)
{
  const TRun run = RunMode({"/setup", folder.Target(), Config()});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(TargetConfig(), NewConfig);
  EXPECT_EQ(LanguagesOfType(folder.Target(), RT_GROUP_ICON), std::vector<uint16_t>{2052});
  ASSERT_TRUE(Opened());
  const std::string marker = ReadFile(folder.OpenedMarker());
  EXPECT_NE(marker.find(MarkerLine("10", "RES_CONFIG_INI", "0", NewConfig)), std::string::npos) << marker;
  EXPECT_EQ(marker.find(MarkerLine("10", "RES_CONFIG_INI", "0", shippedConfig)), std::string::npos);
}

TEST_F(CommandModes, SetupWithASixthArgumentEmbedsAllThreeAndDoesNotOpen)
{
  const TRun run =
      RunMode({"/setup", folder.Target(), Config(), Icon({40, 50}), folder.Write("new.bmp", Image), "x"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(TargetConfig(), NewConfig);
  EXPECT_EQ(ResourceData(folder.Target(), RT_RCDATA, "RES_SPLASH", 0), Image);
  EXPECT_EQ(ResourceData(folder.Target(), RT_ICON, 2, 1033), std::string(50, 'b'));
  EXPECT_FALSE(Opened());
}

TEST_F(CommandModes, SetupSkipsAMissingConfigEmbedsTheIconAndOpens)
{
  const TRun run = RunMode({"/setup", folder.Target(), folder.Path("missing.ini"), Icon({40})});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(TargetConfig(), shippedConfig);
  EXPECT_EQ(LanguagesOfType(folder.Target(), RT_GROUP_ICON), std::vector<uint16_t>{1033});
  ASSERT_TRUE(Opened());
  EXPECT_NE(ReadFile(folder.OpenedMarker()).find(MarkerLine("3", "1", "1033", std::string(40, 'a'))),
            std::string::npos);
}

TEST_F(CommandModes, ReadOnlyTargetIsMadeWritableAndChanged)
{
  for (const std::string mode : {"/setup", "/config"}) {
    SCOPED_TRACE(mode);
    CopyFile(CORVALA_MODES_TARGET, folder.Target());
    ASSERT_EQ(chmod(folder.Target().c_str(), 0555), 0);
    EXPECT_EQ(RunMode({mode, folder.Target(), Config()}).exitCode, 0);
    EXPECT_EQ(ModeOf(folder.Target()), 0755);
    EXPECT_EQ(TargetConfig(), NewConfig);
  }
  EXPECT_TRUE(Opened());
}

// The settings command changes the launcher's own file: the change waits until that program ends.
TEST_F(CommandModes, ConfigWaitsUntilTheRunningTargetHasEnded)
{
  const std::string busy = folder.Path("busy");
  CopyFile(CORVALA_TEST_CHILD, busy);
  const std::string before = ReadFile(busy);
  const pid_t running = Start(busy, {"sleep", "600"});
  ASSERT_TRUE(TestSupport::WaitUntil(
      [&] {
        std::error_code error;
        return fs::read_symlink("/proc/" + std::to_string(running) + "/exe", error) == busy;
      },
      60s, "the target to run"));
  // Read-only, so that the command shows when it has found the target busy and waits: it makes
  // the file writable again after its first look.
  ASSERT_EQ(chmod(busy.c_str(), 0555), 0);
  const pid_t command = Start(folder.Program(), {"/config", busy, Config()});
  ASSERT_TRUE(TestSupport::WaitUntil([&] { return (ModeOf(busy) & S_IWUSR) != 0; }, 60s,
                                     "the command to find its target busy"));
  EXPECT_EQ(ReadFile(busy), before);
  EXPECT_EQ(waitpid(command, nullptr, WNOHANG), 0) << "the command ended while its target ran";
  kill(running, SIGKILL);
  Wait(running);
  EXPECT_EQ(Wait(command).exitCode, 0);
  EXPECT_EQ(ResourceData(busy, RT_RCDATA, "RES_CONFIG_INI", 0), NewConfig);
  EXPECT_EQ(RunProgram(busy, {"sleep", "0"}).exitCode, 0);
}

TEST_F(CommandModes, UnreadableConfigIsAnApplicationErrorWithExitCodeOne)
{
  const TRun run = RunMode({"/config", folder.Target(), "/proc/self/mem"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output.rfind("Application Error: Cannot read file", 0), 0u) << run.output;
  EXPECT_EQ(ReadFile(folder.Target()), shippedTarget);
}

// The update writes the new file beside the target: in a folder whose path is as long as a path
// may be, that file cannot be named, and the command says so instead of ending as if it had worked.
TEST_F(CommandModes, ConfigAndSplashThatCannotUpdateTheTargetAreAnApplicationError)
{
  char *real = realpath(folder.Path("").c_str(), nullptr);
  ASSERT_NE(real, nullptr);
  std::string deep = real;
  free(real);
  // The target "<deep>/t" takes the longest path there is; the new file "<deep>/.new-XXXXXX" cannot.
  const size_t deepLength = PATH_MAX - 1 - 2;
  while (deep.size() < deepLength) {
    deep += "/" + std::string(std::min<size_t>(200, deepLength - deep.size() - 1), 'd');
    ASSERT_EQ(mkdir(deep.c_str(), 0700), 0) << deep.size();
  }
  const std::string target = deep + "/t";
  CopyFile(CORVALA_MODES_TARGET, target);
  for (const auto &[mode, file] :
       {std::pair{"/config", Config()}, {"/splash", folder.Write("new.bmp", Image)}}) {
    SCOPED_TRACE(mode);
    const TRun run = RunMode({mode, target, file});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "Application Error: Resource update error: File name too long\n");
    EXPECT_EQ(ReadFile(target), shippedTarget);
  }
}

TEST_F(CommandModes, IconOfExactlyOneMebibyteIsAcceptedAndOneByteMoreRefused)
{
  const uint32_t header = 6 + 16;
  ASSERT_EQ(RunMode({"/icon", folder.Target(), Icon({1048576 - header})}).exitCode, 0);
  EXPECT_EQ(ResourceData(folder.Target(), RT_ICON, 1, 1033).size(), 1048576 - header);
  const std::string accepted = ReadFile(folder.Target());

  const TRun run = RunMode({"/icon", folder.Target(), Icon({1048576 - header + 1})});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.output, "Application Error: Resource update error: Icon file is too large\n");
  EXPECT_EQ(ReadFile(folder.Target()), accepted);
}

TEST_F(CommandModes, InvalidIconFilesAreRefusedAndLeaveTheTarget)
{
  std::string pastTheEnd = IconFile({40, 50});
  SetImageOffset(pastTheEnd, 1, static_cast<uint32_t>(pastTheEnd.size() - 50 + 1));
  std::string withinTheEnd = IconFile({40, 50});
  SetImageOffset(withinTheEnd, 1, static_cast<uint32_t>(withinTheEnd.size() - 50));
  const std::vector<std::pair<std::string, std::string>> icons = {
      {"image one byte past the end", pastTheEnd},
      {"five bytes", std::string("\0\0\1\0\0", 5)},
      {"windows executable", "MZ" + IconFile({40}).substr(2)},
      {"this system's executable", ReadFile(CORVALA_MODES_TARGET).substr(0, 65536)},
  };
  for (const auto &[what, bytes] : icons) {
    SCOPED_TRACE(what);
    const TRun run = RunMode({"/icon", folder.Target(), folder.Write("bad.ico", bytes)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.output, "Application Error: Resource update error: Icon file is invalid\n");
    EXPECT_EQ(ReadFile(folder.Target()), shippedTarget);
  }
  EXPECT_EQ(RunMode({"/icon", folder.Target(), folder.Write("good.ico", withinTheEnd)}).exitCode, 0);
}

TEST_F(CommandModes, IconReplacesTheShippedGroupAndImagesInANewLanguage)
{
  ASSERT_EQ(LanguagesOfType(folder.Target(), RT_GROUP_ICON), std::vector<uint16_t>{2052});
  ASSERT_EQ(RunMode({"/icon", folder.Target(), Icon({40, 50, 60})}).exitCode, 0);
  EXPECT_EQ(LanguagesOfType(folder.Target(), RT_GROUP_ICON), std::vector<uint16_t>{1033});
  EXPECT_EQ(LanguagesOfType(folder.Target(), RT_ICON), (std::vector<uint16_t>{1033, 1033, 1033}));
  for (uint16_t id = 1; id <= 3; ++id)
    EXPECT_EQ(ResourceData(folder.Target(), RT_ICON, id, 1033), std::string(30 + 10 * id, 'a' + id - 1));
  const std::string group = ResourceData(folder.Target(), RT_GROUP_ICON, "MAINICON", 1033);
  ASSERT_EQ(group.size(), 6u + 14 * 3);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(group[6 + 14 * i + 12], static_cast<char>(i + 1));
  EXPECT_EQ(TargetConfig(), shippedConfig);

  ASSERT_EQ(RunMode({"/icon", folder.Target(), Icon({})}).exitCode, 0);
  EXPECT_EQ(ResourceData(folder.Target(), RT_GROUP_ICON, "MAINICON", 1033).size(), 6u);
  EXPECT_TRUE(LanguagesOfType(folder.Target(), RT_ICON).empty());
}

TEST_F(CommandModes, DamagedStoreInTheTargetNeverCrashesAMode)
{
  const std::vector<std::pair<std::string, std::string>> damaged = {
      {"truncated store", shippedTarget.substr(0, shippedTarget.size() - 10)},
      {"changed byte in the store",
       [this] {
         std::string bytes = shippedTarget;
         bytes[bytes.size() - 1000] ^= 0x5a;
         return bytes;
       }()},
  };
  for (const auto &[what, bytes] : damaged) {
    SCOPED_TRACE(what);
    folder.Write("target", bytes);
    ASSERT_EQ(chmod(folder.Target().c_str(), 0755), 0);
    ASSERT_TRUE(ResourcesOf(folder.Target()).empty());
    const TRun icon = RunMode({"/icon", folder.Target(), Icon({40})});
    EXPECT_EQ(icon.exitCode, 1);
    EXPECT_EQ(icon.output, "Application Error: Resource update error: FindResource failed (1)(2)\n");
    EXPECT_EQ(ReadFile(folder.Target()), bytes);
    EXPECT_EQ(RunMode({"/config", folder.Target(), Config()}).exitCode, 0);
    EXPECT_EQ(RunMode({"/splash", folder.Target(), folder.Write("new.bmp", Image)}).exitCode, 0);
    EXPECT_EQ(TargetConfig(), NewConfig);
    // The program in front of the store still runs and finds the new store.
    ASSERT_EQ(RunProgram(folder.Target(), {}).exitCode, 0);
    EXPECT_NE(ReadFile(folder.OpenedMarker()).find(MarkerLine("10", "RES_SPLASH", "0", Image)),
              std::string::npos);
  }
}

TEST_F(CommandModes, WithADisplayTheErrorWaitsInABoxCaptionedApplicationError)
{
  // The display of the test scripts (scripts/display.sh), which this program's tests take in turns.
  const char *display = std::getenv("DISPLAY");
  ASSERT_TRUE(display && *display) << "needs the display of scripts/display.sh";
  const std::string name = display;
  const pid_t command =
      Start(folder.Program(), {"/icon", folder.Target(), folder.Write("bad.ico", "MZ")}, {{"DISPLAY", name}});
  const std::string xdotool = "DISPLAY=" + name + " timeout 60 xdotool ";
  // Searched again and again rather than with --sync: xdotool's search ends with BadWindow when
  // a window closes while it looks.
  std::string window;
  EXPECT_TRUE(TestSupport::WaitUntil(
      [&] { return !(window = Shell(xdotool + "search --name '^Application Error$' | head -n 1")).empty(); },
      60s, "the box captioned Application Error"));
  EXPECT_EQ(waitpid(command, nullptr, WNOHANG), 0) << "the command ended before OK";
  if (window.empty())
    kill(command, SIGKILL);
  else
    Shell(xdotool + "windowfocus --sync " + window.substr(0, window.find('\n')) + " key Return");
  EXPECT_EQ(Wait(command).exitCode, 1);
  EXPECT_EQ(ReadFile(folder.Target()), shippedTarget);
}

// The running program's file can never be free for writing: the command says how to do it instead
// of waiting for ever.
TEST_F(CommandModes, ACommandOnTheRunningProgramItselfIsRefusedWithTheWayToDoIt)
{
  for (const char *mode : {"/config", "/splash", "/icon", "/setup"}) {
    SCOPED_TRACE(mode);
    const TRun run = RunMode({mode, folder.Program(), Config()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(
        run.output.rfind("Application Error: \"" + folder.Program() +
                             "\" is this program itself, and a program cannot rewrite itself while it runs.",
                         0),
        0u)
        << run.output;
    EXPECT_NE(run.output.find("/tmp/corvala-copy " + std::string(mode) + " \"" + folder.Program() + "\""),
              std::string::npos)
        << run.output;
  }
}

// Relative paths name the caller's files, as they do for any command.
TEST_F(CommandModes, RelativePathsAreTakenFromTheCallersFolder)
{
  Config();
  const auto word = [](const std::string &text) {
    std::string quoted = "'";
    for (const char c : text)
      quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
  };
  const std::string command = "cd " + word(folder.Path("")) + " && " + word(folder.Program()) +
                              " /config target 'new config.ini' 2>&1; echo \"status $?\"";
  EXPECT_EQ(Shell(command), "status 0\n");
  EXPECT_EQ(TargetConfig(), NewConfig);
}
