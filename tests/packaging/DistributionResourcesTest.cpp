// The resource side of a build: the launcher's "/splash", "/icon" and "/config" modes change runme.
#include "packaging/DistributionBuild.h"

#include "BuildTree.h"
#include "digest/Md5.h"
#include "resources/ExeResources.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace Corvala;
using Resources::ReadResource;
using Resources::RT_GROUP_ICON;
using Resources::RT_RCDATA;

namespace
{

// A short stand-in for resource bytes in failure messages; "missing" when there are none.
std::string DigestOf(const std::optional<std::string> &data)
{
  return data ? Digest::Md5Hex(*data) : "missing";
}

int IconImageCount(const std::string &file)
{
  const auto icon = Resources::ReadIconResource(file, "MAINICON");
  if (!icon || icon->size() < 6)
    return -1;
  return static_cast<unsigned char>((*icon)[4]) | static_cast<unsigned char>((*icon)[5]) << 8;
}

std::string SaveImage(const std::string &file, const char *format, QColor color, int size)
{
  QImage image(size, size, QImage::Format_ARGB32);
  image.fill(color);
  EXPECT_TRUE(image.save(QString::fromStdString(file), format));
  return file;
}

} // namespace

TEST(DistributionResources, DefaultsGiveTheCdIconTheLaunchersSplashAndBrandIniAsConfiguration)
{
  TBuildTree tree;
  TBrandSettings settings = tree.Settings();
  const std::string runme = MakeDistribution(tree.Source(), settings) + "/runme";

  EXPECT_EQ(DigestOf(ReadResource(runme, RT_RCDATA, "RES_SPLASH")),
            DigestOf(ReadResource(CORVALA_LAUNCHER, RT_RCDATA, "RES_SPLASH")));
  EXPECT_EQ(Resources::GetResourceLanguage(runme, RT_GROUP_ICON, "MAINICON"), 1033);
  EXPECT_EQ(IconImageCount(runme), 8);
  const auto config = ReadResource(runme, RT_RCDATA, "RES_CONFIG_INI");
  ASSERT_TRUE(config);
  EXPECT_EQ(*config, TestSupport::ReadBytes(tree.brandFile));
  EXPECT_NE(config->find("title=\"My Program\"\r\n"), std::string::npos);
  EXPECT_NE(config->find("port=80\r\n"), std::string::npos);
  EXPECT_NE(config->find("brand=1"), std::string::npos);
}

TEST(DistributionResources, ChosenImageAndIconAreEmbedded)
{
  TBuildTree tree;
  TBrandSettings settings = tree.Settings();
  settings.SplashFileName = SaveImage(tree.root.File("splash.png"), "PNG", Qt::darkCyan, 120);
  settings.IconFile = SaveImage(tree.root.File("brand.ico"), "ICO", Qt::red, 32);
  settings.Title = "Acme Shop";
  settings.Port = 8088;
  const std::string runme = MakeDistribution(tree.Source(), settings) + "/runme";

  EXPECT_EQ(DigestOf(ReadResource(runme, RT_RCDATA, "RES_SPLASH")),
            DigestOf(TestSupport::ReadBytes(settings.SplashFileName)));
  EXPECT_EQ(IconImageCount(runme), 1);
  const auto config = ReadResource(runme, RT_RCDATA, "RES_CONFIG_INI");
  ASSERT_TRUE(config);
  EXPECT_NE(config->find("title=\"Acme Shop\"\r\n"), std::string::npos) << *config;
  EXPECT_NE(config->find("port=8088\r\n"), std::string::npos) << *config;
}

TEST(DistributionResources, MissingImageSkipsTheSplashStep)
{
  TBuildTree tree;
  TBrandSettings settings = tree.Settings();
  settings.SplashFileName = tree.root.File("gone.png");
  const std::string runme = MakeDistribution(tree.Source(), settings) + "/runme";
  EXPECT_EQ(DigestOf(ReadResource(runme, RT_RCDATA, "RES_SPLASH")),
            DigestOf(ReadResource(CORVALA_LAUNCHER, RT_RCDATA, "RES_SPLASH")));
  EXPECT_EQ(TConfigFile(tree.brandFile).Read("splashfilename"), tree.root.File("gone.png"));
}
