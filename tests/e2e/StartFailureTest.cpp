// Start failures of the server stack, driven by the window-less launcher: each says what failed and
// why, and leaves nothing of the installation running.
#include "E2eSupport.h"
#include "stack/host/WorkFolder.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace E2e;
namespace fs = std::filesystem;

namespace
{

class StartFailure : public ::testing::Test
{
protected:
  void SetUp() override
  {
    const int port = FreePort();
    ASSERT_NE(port, 0);
    install.SetConfig("[INI]\r\ntitle=Corvala\r\nport=" + std::to_string(port) + "\r\nip=127.0.0.1\r\n");
  }

  // Runs the driver until it reports; gives its error text ("" when it started).
  std::string StartError(const std::map<std::string, std::string> &environment = {},
                         uid_t asUser = static_cast<uid_t>(-1))
  {
    TLauncher launcher(install.Program(), environment, asUser);
    if (launcher.WaitReady()) {
      launcher.Stop();
      return "";
    }
    const std::string error = launcher.Value("error");
    EXPECT_EQ(launcher.Stop(), 2) << launcher.LastLine();
    return error;
  }

  // Nothing of the installation runs and its work folder is gone.
  void ExpectNothingLeft(const std::string &workFolder)
  {
    EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
    EXPECT_FALSE(fs::exists(workFolder));
  }

  TInstall install;
};

} // namespace

// Anything but an IPv4 address is refused; it once made Apache listen on every address.
TEST_F(StartFailure, ConfigValuesThatAreNoAddressOrPortAreRefusedNamingFileAndKey)
{
  const std::string work = Host::WorkFolderPathFor(install.Program());
  install.SetConfig("[INI]\r\nport=8080\r\nip=not-an-address\r\n");
  EXPECT_EQ(StartError().rfind("Config.ini, key \"ip\": 'not-an-address' is not a valid IPv4 address", 0),
            0u);
  ExpectNothingLeft(work);

  install.SetConfig("garbage\r\n\x01\x02 no section at all\r\n");
  EXPECT_EQ(StartError(), "Config.ini, key \"port\": '' is not a valid integer value");
  ExpectNothingLeft(work);
}

TEST_F(StartFailure, AMissingWebRootGivesApachesOwnReason)
{
  const std::string work = Host::WorkFolderPathFor(install.Program());
  fs::remove_all(install.Path("www"));
  const std::string error = StartError();
  EXPECT_EQ(error.rfind("Apache ended during its start:", 0), 0u) << error;
  EXPECT_NE(error.find("DocumentRoot '" + install.Path("www") + "' is not a directory"), std::string::npos)
      << error;
  ExpectNothingLeft(work);
}

// mysqld once ended without a word here, and pages got "Connection refused".
TEST_F(StartFailure, AMissingOrReadOnlyDataFolderGivesMySqlsOwnReason)
{
  const std::string work = Host::WorkFolderPathFor(install.Program());
  const std::string data = install.Path("data");
  fs::rename(data, data + ".away");
  std::string error = StartError();
  EXPECT_EQ(error.rfind("MySQL ended during its start:", 0), 0u) << error;
  EXPECT_NE(error.find("Can't change dir to '" + data + "/'"), std::string::npos) << error;
  ExpectNothingLeft(work);
  fs::rename(data + ".away", data);

  // Root writes anywhere: the read-only folder is tried by the user nobody.
  const bool asNobody = geteuid() == 0;
  std::map<std::string, std::string> environment;
  const std::string tmp = install.Root() + ".tmp";
  if (asNobody) {
    install.GiveTo(65534, 65534);
    fs::create_directory(tmp);
    ASSERT_EQ(chown(tmp.c_str(), 65534, 65534), 0);
    environment["TMPDIR"] = tmp;
  }
  Shell("chmod -R a-w " + Quoted(data));
  error = StartError(environment, asNobody ? 65534 : static_cast<uid_t>(-1));
  Shell("chmod -R u+w " + Quoted(data));
  EXPECT_EQ(error.rfind("MySQL ended during its start:", 0), 0u) << error;
  EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
  EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
  fs::remove_all(tmp);
}

// A copy from the disc that cannot be made whole stops the start with the copy's own reason, instead
// of starting MySQL on a half-copied data folder: here the work folder's paths are longer than the
// disc's, too long for a folder deep in the data, which no account can get round.
TEST_F(StartFailure, ACdCopyThatFailsSaysWhatAndWhy)
{
  const std::string mountinfo = WriteCdMountInfo(install);
  // As long as MySQL's socket in the work folder allows.
  std::string tmp = install.Root() + ".tmp";
  tmp += "/" + std::string(60 - tmp.size(), 't');
  fs::create_directories(tmp);
  const std::string work =
      tmp + "/" + fs::path(Host::WorkFolderPathFor(install.Program())).filename().string();
  // The copy's paths are this much longer than the disc's: a folder whose path is the longest the
  // system takes on the disc has none in the copy.
  const size_t longer = work.size() - install.Root().size();
  ASSERT_GT(longer, 10u);
  fs::path deep = install.Path("data") + "/deep";
  const size_t longest = 4095 - longer / 2;
  while (deep.native().size() + 201 < longest)
    deep /= std::string(200, 'd');
  deep /= std::string(longest - deep.native().size() - 1, 'e');
  fs::create_directories(deep);

  const std::string error = StartError({{"CORVALA_MOUNTINFO", mountinfo}, {"TMPDIR", tmp}});
  EXPECT_TRUE(error.starts_with("\"" + install.Path("data") +
                                "\" could not be copied from the disc into the work folder: Cannot create "
                                "the folder \"" +
                                work + "/data/deep/ddd"))
      << error;
  EXPECT_TRUE(error.ends_with("\": File name too long")) << error;
  ExpectNothingLeft(work);
  fs::remove_all(install.Path("data") + "/deep");
  fs::remove_all(install.Root() + ".tmp");
  std::remove(mountinfo.c_str());
}

// Apache's workers outlive a parent that was killed and go on serving; the stop finds them by their
// executable and ends them at once, instead of sitting out the grace given to a running server.
TEST_F(StartFailure, TheStopAfterApachesParentWasKilledEndsItsWorkersWithoutTheGrace)
{
  TLauncher launcher(install.Program());
  ASSERT_TRUE(launcher.WaitReady()) << launcher.LastLine();
  const int port = launcher.IntValue("apache_port");
  const std::string work = launcher.Value("work");
  kill(launcher.IntValue("apache_pid"), SIGKILL);
  ASSERT_TRUE(
      WaitUntil([&] { return !Running(launcher.IntValue("apache_pid")); }, 10s, "Apache's parent to end"));
  EXPECT_EQ(HttpGet(port, "/").status, 200) << "the orphaned workers no longer serve";

  const auto begin = std::chrono::steady_clock::now();
  EXPECT_EQ(launcher.Stop(), 0);
  // The stack's grace for a running server is 15 s.
  EXPECT_LT(std::chrono::steady_clock::now() - begin, 15s) << "the stop waited the grace";
  ExpectNothingLeft(work);
}

TEST_F(StartFailure, AWorkFolderNameTakenByAnotherAccountSaysHowToStartAnyway)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to give the folder to another account";
  const std::string tmp = install.Root() + ".tmp";
  fs::create_directory(tmp);
  const std::string work =
      tmp + "/" + fs::path(Host::WorkFolderPathFor(install.Program())).filename().string();
  fs::create_directory(work);
  ASSERT_EQ(chown(work.c_str(), 65534, 65534), 0);
  const std::string error = StartError({{"TMPDIR", tmp}});
  EXPECT_NE(error.find("Work folder \"" + work + "\" belongs to another user"), std::string::npos) << error;
  EXPECT_NE(error.find("start the program with TMPDIR set to a private folder of yours"), std::string::npos)
      << error;
  EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
  fs::remove_all(tmp);
}

// Pages once came up blank without a word when the work folder's disk was full.
TEST_F(StartFailure, AWorkFolderWithoutRoomIsReportedBeforeAnythingStarts)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "needs root to mount a small file system";
  const std::string tmp = install.Root() + ".tmp";
  fs::create_directory(tmp);
  if (std::system(("mount -t tmpfs -o size=1m tmpfs " + Quoted(tmp) + " 2>/dev/null").c_str()) != 0)
    GTEST_SKIP() << "cannot mount a small file system here";
  const std::string error = StartError({{"TMPDIR", tmp}});
  std::system(("umount " + Quoted(tmp)).c_str());
  EXPECT_NE(error.find("The work folder \"" + tmp + "/"), std::string::npos) << error;
  EXPECT_NE(error.find("cannot be written: only"), std::string::npos) << error;
  EXPECT_NE(error.find("TMPDIR"), std::string::npos) << error;
  EXPECT_TRUE(ProcessesBelow(install.Root()).empty());
  fs::remove_all(tmp);
}
