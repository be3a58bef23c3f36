#include "packaging/DistributionBuild.h"

#include "BuildTree.h"
#include "files/FileTree.h"
#include "files/Paths.h"
#include "resources/ExeResources.h"

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
  EXPECT_TRUE(Files::FileExists(settings.IconFile));
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
  EXPECT_FALSE(Files::DirectoryExists(data + "/test"));
  EXPECT_EQ(TConfigFile(tree.brandFile).Read("datadir"), settings.DataDir);
}

TEST(DistributionBuild, WithoutADataFolderTheOutputHasNone)
{
  TBuildTree tree;
  Files::ShellDelete(tree.root.File("app/data"));
  TBrandSettings settings = tree.Settings();
  const std::string output = MakeDistribution(tree.Source(), settings);
  EXPECT_FALSE(Files::DirectoryExists(output + "/data"));
  EXPECT_TRUE(Files::DirectoryExists(output + "/bin"));
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
  EXPECT_FALSE(Files::DirectoryExists(output + "/www/my site"));
  EXPECT_FALSE(Files::FileExists(output + "/www/index.php"));
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
  EXPECT_FALSE(Files::FileExists(settings.OutputDir + "/autorun.inf"));
  EXPECT_FALSE(Files::DirectoryExists(settings.OutputDir + "/bin"));
}

TEST(DistributionBuild, NoOutputFolderAndNoDocumentsFolderStopsTheBuildBeforeRunme)
{
  TBuildTree tree;
  TBrandSettings settings = tree.Settings();
  Corvala::TBuildSource source = tree.Source();
  source.DocumentsFolder.clear();
  try {
    MakeDistribution(source, settings);
    FAIL() << "no error";
  } catch (const std::runtime_error &error) {
    EXPECT_STREQ(error.what(), "The documents folder is unknown");
  }
  EXPECT_EQ(settings.OutputDir, "");
  EXPECT_FALSE(std::filesystem::exists(tree.root.File("Documents")));
}

// A build script's output folder is made where it says, and a failed build takes back the folders
// it made for it, and only those.
TEST(DistributionBuild, AMissingOutputFolderIsMadeWhenAskedAndRemovedWithItsParentsOnFailure)
{
  TBuildTree tree;
  Corvala::TBuildSource source = tree.Source();
  source.CreateOutputDir = true;
  source.DocumentsFolder.clear();
  TBrandSettings settings = tree.Settings();
  settings.OutputDir = tree.root.File("dist/acme");
  EXPECT_EQ(MakeDistribution(source, settings), tree.root.File("dist/acme"));
  EXPECT_EQ(access((settings.OutputDir + "/runme").c_str(), X_OK), 0);
  EXPECT_EQ(TestSupport::ReadBytes(settings.OutputDir + "/www/index.php"), "<?php echo 'hello';");

  settings.OutputDir = tree.root.File("new/deeper/acme");
  settings.IconFile = tree.root.Write("text.ico", "just text");
  EXPECT_THROW(MakeDistribution(source, settings), std::runtime_error);
  EXPECT_FALSE(std::filesystem::exists(tree.root.File("new")));
  EXPECT_TRUE(std::filesystem::exists(tree.root.File("dist/acme/runme"))) << "an earlier build stays";
}

TEST(DistributionBuild, PathWithADoubleQuoteReachesTheCommandWhole)
{
  TBuildTree tree;
  const std::string image = tree.root.Write("a\" \"b.png", "png");
  TBrandSettings settings = tree.Settings();
  settings.SplashFileName = image;
  MakeDistribution(tree.Source(), settings);
  EXPECT_EQ(Resources::ReadResource(settings.OutputDir + "/runme", Resources::RT_RCDATA, "RES_SPLASH"),
            "png");
}

TEST(DistributionBuild, CopyIntoAMissingOutputFolderKeepsTheLayout)
{
  TBuildTree tree;
  const std::string output = tree.root.File("new/out");
  TCreatedPaths created;
  CopyStack(tree.root.File("app/"), "", "", output, {}, created);
  EXPECT_EQ(TestSupport::ReadBytes(output + "/bin/php/php.ini"), "[PHP]\n");
  // The distribution's PHP starts from this one.
  EXPECT_EQ(TestSupport::ReadBytes(output + "/bin/php/php.ini-production"), "[PHP]\ndisplay_errors = Off\n");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/data/test/t.frm"), "test table");
  EXPECT_EQ(TestSupport::ReadBytes(output + "/www/index.php"), "<?php echo 'hello';");
}

namespace
{

// Output that only a finished build writes: its absence shows the build stopped at the failure.
void ExpectStopped(const std::string &output)
{
  EXPECT_FALSE(Files::FileExists(output + "/autorun.inf"));
  EXPECT_FALSE(Files::DirectoryExists(output + "/www"));
}

} // namespace

TEST(DistributionBuild, AFailedCommandStopsTheBuildWithTheCommandsOwnError)
{
  TBuildTree tree;
  const std::string output = tree.root.File("out");
  std::filesystem::create_directories(output);
  {
    SCOPED_TRACE("an icon file that is no icon");
    TBrandSettings settings = tree.Settings();
    settings.OutputDir = output;
    settings.IconFile = tree.root.Write("text.ico", "just text");
    try {
      MakeDistribution(tree.Source(), settings);
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error &error) {
      EXPECT_STREQ(error.what(), "The \"/icon\" step failed: Resource update error: Icon file is invalid");
    }
    ExpectStopped(output);
  }
  {
    SCOPED_TRACE("a configuration the command cannot read");
    TBrandSettings settings = tree.Settings();
    settings.OutputDir = output;
    settings.IconFile = "";
    // Once runme carries its new icon, the next command is "/config": its Brand.ini becomes a file
    // whose reading fails.
    const std::string runme = output + "/runme";
    bool swapped = false;
    auto beforeEachStep = [&](const TBuildProgress &) {
      if (!swapped && Files::FileExists(runme) &&
          Resources::GetResourceLanguage(runme, Resources::RT_GROUP_ICON, Resources::TResName("MAINICON")) ==
              1033) {
        std::filesystem::remove(tree.brandFile);
        std::filesystem::create_symlink("/proc/self/mem", tree.brandFile);
        swapped = true;
      }
    };
    try {
      MakeDistribution(tree.Source(), settings, {.Progress = beforeEachStep});
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error &error) {
      EXPECT_TRUE(std::string(error.what()).starts_with("The \"/config\" step failed: Cannot read file"))
          << error.what();
    }
    EXPECT_TRUE(swapped);
    ExpectStopped(output);
  }
}

TEST(DistributionBuild, ADeviceOrFifoChosenAsImageOrIconIsRefusedAtOnce)
{
  TBuildTree tree;
  const std::string fifo = tree.root.File("splash.bmp");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string &special : {fifo, std::string("/dev/zero")}) {
    for (const bool asIcon : {false, true}) {
      SCOPED_TRACE(special + (asIcon ? " as icon" : " as image"));
      TBrandSettings settings = tree.Settings();
      (asIcon ? settings.IconFile : settings.SplashFileName) = special;
      try {
        MakeDistribution(tree.Source(), settings);
        ADD_FAILURE() << "no error";
      } catch (const std::runtime_error &error) {
        EXPECT_EQ(error.what(), "\"" + special + "\" is not a regular file");
      }
      ExpectStopped(tree.DefaultOutput());
    }
  }
  // The dialog does not take such a path from its field.
  EXPECT_EQ(ExistingFileOf(fifo), "");
  EXPECT_EQ(FileFieldText(fifo, "placeholder"), "placeholder");
}
