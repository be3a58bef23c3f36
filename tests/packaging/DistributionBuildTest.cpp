#include "packaging/DistributionBuild.h"

#include "BuildTree.h"
#include "utils/FileTree.h"
#include "utils/Paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Corvala;

namespace
{

bool OwnerCanWrite(const std::string &path)
{
  struct stat st {
  };
  return stat(path.c_str(), &st) == 0 && (st.st_mode & S_IWUSR);
}

} // namespace

TEST(DistributionBuild, DefaultsGiveTheStackCopyInOutputUnderTheDocumentsFolder)
{
  TBuildTree tree;
  TBrandSettings settings = tree.Settings();
  const std::string output = MakeDistribution(tree.Source(), settings);

  EXPECT_EQ(output, tree.DefaultOutput());
  EXPECT_EQ(settings.OutputDir, output);
  EXPECT_EQ(access((output + "/runme").c_str(), X_OK), 0);
  EXPECT_EQ(TestSupport::ReadBytes(output + "/autorun.inf"), "[autorun]\r\nicon=runme\r\nopen=runme\r\n");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/bin/Apache/httpd.conf.in"), "Listen 80\n");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/licenses/apache2-bin.copyright"), "Apache License 2.0");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/data/mysql/user.frm"), "launcher user");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/data/test/t.frm"), "test table");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/www/index.php"), "<?php echo 'hello';");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/www/img/logo.png"), "logo");
  EXPECT_TRUE(OwnerCanWrite(output + "/www/index.php"));
  EXPECT_EQ(settings.IconFile, tree.root.File("work/CD.ico"));
  EXPECT_TRUE(AppUtils::FileExists(settings.IconFile));
  // The choices went back to Brand.ini before the build, the output folder as it was then.
  EXPECT_EQ(TConfigFile(tree.brandFile).Read("title"), "My Program");
  EXPECT_EQ(TConfigFile(tree.brandFile).Read("outputdir"), "");
}

TEST(DistributionBuild, ChosenDatabaseFolderOverlaysTheLaunchersMysqlAndNothingElseIsCopied)
{
  TBuildTree tree;
  tree.root.Write("db/mysql/user.frm", "chosen user");
  tree.root.Write("db/mysql/shop.frm", "chosen shop");
  TBrandSettings settings = tree.Settings();
  settings.DataDir = tree.root.File("db/mysql");
  settings.OutputDir = tree.root.File("out");
  std::filesystem::create_directories(settings.OutputDir);
  MakeDistribution(tree.Source(), settings);

  const std::string data = tree.root.File("out/data");
  EXPECT_EQ(TestSupport::ReadBytes(data + "/mysql/user.frm"), "chosen user");
  EXPECT_EQ(TestSupport::ReadBytes(data + "/mysql/shop.frm"), "chosen shop");
  EXPECT_EQ(TestSupport::ReadBytes(data + "/mysql/db.frm"), "launcher db");
  EXPECT_FALSE(AppUtils::DirectoryExists(data + "/test"));
  EXPECT_EQ(TConfigFile(tree.brandFile).Read("datadir"), settings.DataDir);
}

TEST(DistributionBuild, WithoutADataFolderTheOutputHasNone)
{
  TBuildTree tree;
  AppUtils::ShellDelete(tree.root.File("app/data"));
  TBrandSettings settings = tree.Settings();
  const std::string output = MakeDistribution(tree.Source(), settings);
  EXPECT_FALSE(AppUtils::DirectoryExists(output + "/data"));
  EXPECT_TRUE(AppUtils::DirectoryExists(output + "/bin"));
}

TEST(DistributionBuild, WebsiteFolderFilesLandDirectlyUnderWww)
{
  TBuildTree tree;
  tree.root.Write("my site/home.html", "<h1>Acme</h1>");
  tree.root.Write("my site/css/a.css", "body{}");
  TBrandSettings settings = tree.Settings();
  settings.SrcDir = tree.root.File("my site");
  const std::string output = MakeDistribution(tree.Source(), settings);
  EXPECT_EQ(TestSupport::ReadBytes(output + "/www/home.html"), "<h1>Acme</h1>");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/www/css/a.css"), "body{}");
  EXPECT_FALSE(AppUtils::DirectoryExists(output + "/www/my site"));
  EXPECT_FALSE(AppUtils::FileExists(output + "/www/index.php"));
}

TEST(DistributionBuild, SecondBuildOverwritesAndMergesIntoTheSameFolder)
{
  TBuildTree tree;
  TBrandSettings settings = tree.Settings();
  const std::string output = MakeDistribution(tree.Source(), settings);
  tree.root.Write(output.substr(tree.root.Path().string().size() + 1) + "/www/mine.txt", "kept");
  tree.root.Write("app/www/index.php.new", "new");
  MakeDistribution(tree.Source(), settings);
  EXPECT_EQ(TestSupport::ReadBytes(output + "/www/mine.txt"), "kept");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/www/index.php.new"), "new");
  EXPECT_EQ(access((output + "/runme").c_str(), X_OK), 0);
}

TEST(DistributionBuild, RunmeThatCannotBeWrittenStopsTheBuildWithTheFileError)
{
  TBuildTree tree;
  TBrandSettings settings = tree.Settings();
  settings.OutputDir = tree.root.File("out");
  std::filesystem::create_directories(tree.root.File("out/runme"));
  try {
    MakeDistribution(tree.Source(), settings);
    FAIL() << "no error";
  } catch (const std::exception &error) {
    EXPECT_EQ(std::string(error.what()).rfind("Cannot create file \"" + settings.OutputDir + "/runme\".", 0),
              0u)
        << error.what();
  }
  EXPECT_FALSE(AppUtils::FileExists(settings.OutputDir + "/autorun.inf"));
  EXPECT_FALSE(AppUtils::DirectoryExists(settings.OutputDir + "/bin"));
}

TEST(DistributionBuild, PathWithADoubleQuoteIsNotHandedToACommand)
{
  TBuildTree tree;
  const std::string image = tree.root.Write("a\" \"b.png", "png");
  TBrandSettings settings = tree.Settings();
  settings.SplashFileName = image;
  EXPECT_THROW(MakeDistribution(tree.Source(), settings), std::runtime_error);
  EXPECT_FALSE(AppUtils::FileExists(tree.DefaultOutput() + "/autorun.inf"));
}

TEST(DistributionBuild, CopyIntoAMissingOutputFolderKeepsTheLayout)
{
  TBuildTree tree;
  const std::string output = tree.root.File("new/out");
  CopyStack(tree.root.File("app/"), "", "", output);
  EXPECT_EQ(TestSupport::ReadBytes(output + "/bin/php/php.ini"), "[PHP]\n");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/data/test/t.frm"), "test table");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/www/index.php"), "<?php echo 'hello';");
}
