#include "tree/TreeLibraries.h"
#include "stack/BinFolder.h"
#include "stack/CommandLineTools.h"
#include "tree/ElfNeeded.h"

#include "support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

using namespace Corvala;
using namespace TestSupport;

namespace
{

const std::string Kit = CORVALA_STACK_TREE;

// The ELF libraries directly in a library folder.
std::set<std::string> LibrariesIn(const std::string &folder)
{
  std::set<std::string> names;
  for (const auto &entry : fs::directory_iterator(folder))
    if (entry.is_regular_file() && Tree::IsElfFile(entry.path().string()))
      names.insert(entry.path().filename().string());
  return names;
}

// Hard links of the kit's files named by Parts into Root, below Into (the kit is only read or
// unlinked from).
void LinkFromKit(const TScratchFolder &root, std::initializer_list<const char *> parts,
                 const std::string &into = "")
{
  for (const char *part : parts) {
    const std::string target = root.File(into + part);
    fs::create_directories(fs::path(target).parent_path());
    const RunResult copy = RunCommand("cp -al " + ShellQuoted(Kit + "/" + part) + " " + ShellQuoted(target));
    ASSERT_EQ(copy.ExitCode, 0) << part << ": " << copy.Output;
  }
}

bool Contains(const std::vector<std::string> &names, const std::string &name)
{
  return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

TEST(ReadNeededLibraries, GivesTheDependenciesOfRealProgramsAndRefusesDamagedFiles)
{
  const auto mysqld = Tree::ReadNeededLibraries(Kit + "/bin/mysql/bin/mysqld");
  ASSERT_TRUE(mysqld.has_value());
  EXPECT_TRUE(Contains(*mysqld, "libssl.so.3"));
  EXPECT_TRUE(Contains(*mysqld, "libc.so.6"));
  const auto self = Tree::ReadNeededLibraries("/proc/self/exe");
  ASSERT_TRUE(self.has_value());
  EXPECT_TRUE(Contains(*self, "libstdc++.so.6"));

  TScratchFolder scratch;
  EXPECT_FALSE(Tree::ReadNeededLibraries(scratch.Write("text.so", "not a library")).has_value());
  EXPECT_FALSE(Tree::ReadNeededLibraries(scratch.File("missing.so")).has_value());
  EXPECT_FALSE(Tree::ReadNeededLibraries(scratch.File("")).has_value()) << "a folder is no ELF file";
  // Cut after the headers: the dynamic section lies past the end.
  const std::string whole = ReadBytes(Kit + "/bin/lib/libcurl.so.4");
  EXPECT_FALSE(Tree::ReadNeededLibraries(scratch.Write("cut.so", whole.substr(0, 4096))).has_value());
  // A string table offset past the table's end.
  std::string damaged = whole;
  const auto dynamicEntries = Tree::ReadNeededLibraries(Kit + "/bin/lib/libcurl.so.4");
  ASSERT_TRUE(dynamicEntries.has_value() && !dynamicEntries->empty());
  const size_t name = damaged.find(dynamicEntries->front() + '\0');
  ASSERT_NE(name, std::string::npos);
  damaged.replace(name, dynamicEntries->front().size(), dynamicEntries->front().size(), 'x');
  const auto renamed = Tree::ReadNeededLibraries(scratch.Write("renamed.so", damaged));
  ASSERT_TRUE(renamed.has_value());
  EXPECT_EQ(renamed->front(), std::string(dynamicEntries->front().size(), 'x'));
}

// What the bundling put into the kit's tree and what the tree's own rule keeps agree exactly: every
// library carried is needed by some program, module or extension, and each of those finds what it
// needs inside the tree or among the few the desktop provides.
TEST(TreeLibraries, TheKitTreeNeedsEveryLibraryItCarries)
{
  const std::string libraries = Kit + "/" + LibraryFolder;
  const std::vector<std::string> programs = TreePrograms(Kit + "/");
  EXPECT_TRUE(Contains(programs, Kit + "/corvala"));
  EXPECT_TRUE(Contains(programs, Kit + "/bin/Apache/Apache"));
  EXPECT_TRUE(Contains(programs, Kit + "/bin/qt/libexec/QtWebEngineProcess"));
  EXPECT_FALSE(Contains(programs, libraries + "/libssl.so.3"));
  EXPECT_EQ(NeededLibraries(libraries, programs), LibrariesIn(libraries));
}

TEST(TreeLibraries, MariaDbKeepsSslWhenTheOtherUsersOfItAreGone)
{
  TScratchFolder root;
  LinkFromKit(root, {"bin/lib", "bin/mysql/bin/mysqld", "bin/php/ext/curl.so", "bin/Apache/mod_ssl.so"});
  const std::string app = root.Path().string() + "/";
  const std::string libraries = root.File(LibraryFolder);

  RemoveUnneededLibraries(app);
  std::set<std::string> left = LibrariesIn(libraries);
  EXPECT_TRUE(left.contains("libcurl.so.4"));
  EXPECT_TRUE(left.contains("libssl.so.3"));
  EXPECT_FALSE(left.contains("libQt6Core.so.6")) << "nothing here runs Qt";
  EXPECT_FALSE(left.contains("libsoftokn3.so")) << "without libnss3 its modules go too";
  EXPECT_TRUE(fs::exists(root.File("bin/lib/libsoftokn3.chk"))) << "only libraries are deleted";

  fs::remove(root.File("bin/php/ext/curl.so"));
  fs::remove(root.File("bin/Apache/mod_ssl.so"));
  RemoveUnneededLibraries(app);
  left = LibrariesIn(libraries);
  EXPECT_FALSE(left.contains("libcurl.so.4"));
  EXPECT_TRUE(left.contains("libssl.so.3"));
  EXPECT_TRUE(left.contains("libcrypto.so.3"));

  fs::remove(root.File("bin/mysql/bin/mysqld"));
  RemoveUnneededLibraries(app);
  EXPECT_TRUE(LibrariesIn(libraries).empty());
}

// From a CD the servers run from a copy in the work folder while the launcher keeps running from
// the disc: the copy holds the servers and exactly the libraries they need, no Qt runtime.
TEST(PrepareBinFolder, OnCdOnlyWhatTheServersNeedIsCopied)
{
  TScratchFolder root;
  LinkFromKit(root, {"bin"}, "cd/");
  ASSERT_EQ(PrepareBinFolder(root.File("cd/"), root.File("work"), true), root.File("work/bin"));

  EXPECT_FALSE(fs::exists(root.File("work/bin/qt")));
  EXPECT_TRUE(fs::exists(root.File("work/bin/Apache/Apache")));
  EXPECT_TRUE(fs::exists(root.File("work/bin/mysql/bin/mysqld")));
  EXPECT_TRUE(fs::exists(root.File("work/bin/php/ext/mysqli.so")));
  // The command line runs from the disc; the servers need none of it.
  for (const char *tool : CommandLineTools) {
    EXPECT_TRUE(fs::exists(root.File(std::string("cd/") + tool))) << tool;
    EXPECT_FALSE(fs::exists(root.File(std::string("work/") + tool))) << tool;
  }
  EXPECT_TRUE(fs::exists(root.File(std::string("cd/") + ComposerFolder + "/bin/composer")));
  EXPECT_FALSE(fs::exists(root.File(std::string("work/") + ComposerFolder)));
  const std::string libraries = root.File("work/" + std::string(LibraryFolder));
  const std::set<std::string> copied = LibrariesIn(libraries);
  EXPECT_EQ(copied, NeededLibraries(root.File("cd/bin/lib"), ElfFilesBelow(root.File("work/bin"), {"lib"})));
  EXPECT_TRUE(copied.contains("libaprutil-1.so.0"));
  EXPECT_TRUE(copied.contains("liburing.so.2"));
  EXPECT_FALSE(copied.contains("libQt6WebEngineCore.so.6"));
  EXPECT_FALSE(copied.contains("libncurses.so.6")) << "only the MariaDB client needs it";
  // Every library the copy needs is in it.
  EXPECT_EQ(NeededLibraries(libraries, ElfFilesBelow(root.File("work/bin"), {"lib"})), copied);
}
