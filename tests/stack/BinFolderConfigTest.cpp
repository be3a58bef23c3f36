#include "stack/BinFolder.h"

#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

using Corvala::PrepareBinFolder;
using namespace TestSupport;

TEST(PrepareBinFolder, OffCdTheApplicationBinIsUsedAsItIs)
{
  TScratchFolder root;
  root.Write("app/bin/php/php.ini", "[PHP]\r\n");
  EXPECT_EQ(PrepareBinFolder(root.File("app/"), root.File("work"), false), root.File("app/bin"));
  EXPECT_FALSE(fs::exists(root.File("work/bin")));
}

TEST(PrepareBinFolder, OnCdTheBinFolderIsCopiedWritable)
{
  TScratchFolder root;
  root.Write("cd/bin/php/php.ini", "[PHP]\r\n");
  root.Write("work/bin/stale", "from an earlier run");
  root.Write("work/bin/php/php.ini", "old");
  fs::permissions(root.File("cd/bin/php/php.ini"), fs::perms::owner_read);
  fs::permissions(root.File("cd/bin/php"), fs::perms::owner_read | fs::perms::owner_exec);

  EXPECT_EQ(PrepareBinFolder(root.File("cd/"), root.File("work"), true), root.File("work/bin"));
  EXPECT_EQ(ReadBytes(root.File("work/bin/php/php.ini")), "[PHP]\r\n");
  EXPECT_NE(fs::status(root.File("work/bin/php/php.ini")).permissions() & fs::perms::owner_write,
            fs::perms::none);
  EXPECT_NE(fs::status(root.File("work/bin/php")).permissions() & fs::perms::owner_write, fs::perms::none);
  EXPECT_TRUE(fs::exists(root.File("work/bin/stale"))); // copies merge into an older copy
  fs::permissions(root.File("cd/bin/php"), fs::perms::owner_all);
}
