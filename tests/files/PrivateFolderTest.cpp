#include "files/PrivateFolder.h"

#include "support/TestSupport.h"

#include <sys/mount.h>

using namespace Files;
using namespace TestSupport;

namespace
{

// A scratch folder standing in for the user's runtime folder, home and temporary folder.
class PrivateFolder : public ::testing::Test
{
protected:
  PrivateFolder() { fs::create_directories(Path("home")); }
  std::string Path(const std::string &relative) const { return (scratch.Path() / relative).string(); }

  TScratchFolder scratch;
  TEnvOverride runtime{"XDG_RUNTIME_DIR", Path("run")};
  TEnvOverride cache{"XDG_CACHE_HOME", std::nullopt};
  TEnvOverride home{"HOME", Path("home")};
  TTmpDirOverride tmp{Path("tmp")};
};

// A tmpfs mounted noexec, as /tmp often is; unmounted at the end.
class TNoExecMount
{
public:
  explicit TNoExecMount(const std::string &path) : path_(path)
  {
    fs::create_directories(path);
    mounted_ = mount("corvala-test", path.c_str(), "tmpfs", MS_NOEXEC, "mode=0700") == 0;
  }
  ~TNoExecMount()
  {
    if (mounted_)
      umount2(path_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }

private:
  std::string path_;
  bool mounted_ = false;
};

} // namespace

TEST_F(PrivateFolder, RuntimeFolderFirstThenCacheThenTemporaryFolder)
{
  fs::create_directories(Path("tmp"));
  EXPECT_EQ(PrivateFolderCandidates(),
            (std::vector<std::string>{Path("run/corvala"), Path("home/.cache/corvala"),
                                      Path("tmp/corvala-") + std::to_string(geteuid())}));
  // No runtime folder on this machine: the cache folder is made, its parent included.
  EXPECT_EQ(GetPrivateFolder(), Path("home/.cache/corvala"));
  EXPECT_EQ(ModeOf(Path("home/.cache/corvala")), 0700);

  fs::create_directories(Path("run"));
  EXPECT_EQ(GetPrivateFolder(), Path("run/corvala"));
  EXPECT_EQ(GetPrivateProgramFolder(), Path("run/corvala"));
}

TEST_F(PrivateFolder, AFolderThatIsNotTheUsersOwnIsPassedOver)
{
  fs::create_directories(Path("run"));
  fs::create_directories(Path("decoy"));
  fs::create_directory_symlink(Path("decoy"), Path("run/corvala"));
  fs::create_directories(Path("tmp"));
  const TEnvOverride noHome("HOME", std::nullopt);
  EXPECT_EQ(GetPrivateFolder(), Path("tmp/corvala-") + std::to_string(geteuid()));
  EXPECT_TRUE(fs::is_empty(Path("decoy")));

  fs::remove_all(Path("tmp"));
  try {
    GetPrivateFolder();
    ADD_FAILURE() << "no usable folder, yet one was given";
  } catch (const std::runtime_error &error) {
    EXPECT_NE(std::string(error.what()).find(Path("tmp")), std::string::npos) << error.what();
  }
}

TEST_F(PrivateFolder, ProgramsGoWhereTheyCanRunAndNoexecEverywhereIsSaidSo)
{
  if (geteuid() != 0)
    GTEST_SKIP() << "mounting a noexec file system needs root";
  const TNoExecMount run(Path("run"));
  const TNoExecMount tmpMount(Path("tmp"));
  ASSERT_TRUE(run.Mounted() && tmpMount.Mounted());
  EXPECT_EQ(GetPrivateFolder(), Path("run/corvala"));
  EXPECT_EQ(GetPrivateProgramFolder(), Path("home/.cache/corvala"));

  const TEnvOverride noHome("HOME", std::nullopt);
  try {
    GetPrivateProgramFolder();
    ADD_FAILURE() << "every folder is noexec, yet one was given for programs";
  } catch (const std::runtime_error &error) {
    const std::string text = error.what();
    EXPECT_NE(text.find("No folder of yours lets programs run"), std::string::npos) << text;
    EXPECT_NE(text.find(Path("run/corvala") + "\" is on a file system mounted noexec"), std::string::npos)
        << text;
  }
}
