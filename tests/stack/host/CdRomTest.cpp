#include "stack/host/CdRom.h"

#include "files/Paths.h"

#include "support/TestSupport.h"

using namespace Files;
using namespace Host;
using namespace TestSupport;

namespace
{

// Points the CD check at a mount table written by the test.
class CdRomTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    const char *old = std::getenv("CORVALA_MOUNTINFO");
    hadOld_ = old != nullptr;
    old_ = hadOld_ ? old : "";
    setenv("CORVALA_MOUNTINFO", (scratch_.File("mountinfo")).c_str(), 1);
  }
  void TearDown() override
  {
    if (hadOld_)
      setenv("CORVALA_MOUNTINFO", old_.c_str(), 1);
    else
      unsetenv("CORVALA_MOUNTINFO");
  }
  void Mounts(const std::string &table) { WriteBytes(scratch_.File("mountinfo"), table); }

  TScratchFolder scratch_;

private:
  bool hadOld_ = false;
  std::string old_;
};

const std::string kRoot = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";

} // namespace

TEST_F(CdRomTest, OpticalFileSystemsOnly)
{
  Mounts(kRoot + "40 22 11:0 / /media/cd ro,nosuid shared:7 master:2 - iso9660 /dev/sr0 ro\n" +
         "41 22 11:1 / /media/dvd ro - udf /dev/sr1 ro\n" +
         "42 22 8:17 / /media/stick rw - vfat /dev/sdb1 rw\n");
  EXPECT_TRUE(IsOnCdRom("/media/cd/runme"));
  EXPECT_TRUE(IsOnCdRom("/media/cd"));
  EXPECT_TRUE(IsOnCdRom("/media/dvd/bin/Apache/Apache"));
  EXPECT_FALSE(IsOnCdRom("/media/stick/runme"));
  EXPECT_FALSE(IsOnCdRom("/home/user/runme"));
  EXPECT_FALSE(IsOnCdRom("/media/cdrom/runme")) << "mount points match whole path components only";
  EXPECT_FALSE(IsOnCdRom("/media/cd/../stick/runme"));
}

TEST_F(CdRomTest, EscapedBlanksAndNestedMounts)
{
  Mounts(kRoot + "40 22 11:0 / /media/My\\040Disc\\011(1) ro - iso9660 /dev/sr0 ro\n" +
         "43 40 0:50 / /media/My\\040Disc\\011(1)/data rw shared:9 - tmpfs tmpfs rw\n");
  EXPECT_TRUE(IsOnCdRom("/media/My Disc\t(1)/runme"));
  EXPECT_FALSE(IsOnCdRom("/media/My Disc\t(1)/data/mysql"));
  EXPECT_FALSE(IsOnCdRom("/media/My\\040Disc\\011(1)/runme"));
}

TEST_F(CdRomTest, LaterMountOnTheSamePointWins)
{
  Mounts(kRoot + "40 22 11:0 / /mnt ro - iso9660 /dev/sr0 ro\n" +
         "44 40 0:51 / /mnt rw - ext4 /dev/sdc1 rw\n");
  EXPECT_FALSE(IsOnCdRom("/mnt/runme"));
  Mounts(kRoot + "44 22 0:51 / /mnt rw - ext4 /dev/sdc1 rw\n" + "40 44 11:0 / /mnt ro - udf /dev/sr0 ro\n");
  EXPECT_TRUE(IsOnCdRom("/mnt/runme"));
}

TEST_F(CdRomTest, TheRunningProgramAndBrokenTables)
{
  Mounts("22 1 11:0 / / ro - iso9660 /dev/sr0 ro\n");
  EXPECT_TRUE(IsCdRomDrive());
  Mounts(kRoot);
  EXPECT_FALSE(IsCdRomDrive());
  Mounts("garbage\n40 22 11:0 / /media/cd ro iso9660\n\n");
  EXPECT_FALSE(IsOnCdRom("/media/cd/runme"));
  fs::remove(scratch_.File("mountinfo"));
  EXPECT_FALSE(IsCdRomDrive());
}
