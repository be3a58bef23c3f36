#include "shell/Favorites.h"
#include "MainFormFixture.h"
#include "utils/Paths.h"

#include <QDesktopServices>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <fstream>
#include <unistd.h>

using namespace AppUtils;

namespace
{

std::string WriteFile(const QTemporaryDir &folder, const std::string &name, const std::string &text)
{
  const std::string path = folder.path().toStdString() + "/" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

QStringList MenuCaptions(QMenu *menu)
{
  QStringList captions;
  for (QAction *item : menu->actions())
    captions << (item->isSeparator() ? "-" : item->text());
  return captions;
}

} // namespace

TEST(Favorites, PlaceholdersAreReplacedWithoutRegardToCase)
{
  EXPECT_EQ(ReplacePlaceholder("{appdir}/www and {AppDir}/data", "{APPDIR}", "/opt/s"),
            "/opt/s/www and /opt/s/data");
  EXPECT_EQ(ReplacePlaceholder("http://{localhost:port}/", "{LOCALHOST:PORT}", "127.0.0.1:8080"),
            "http://127.0.0.1:8080/");
  EXPECT_EQ(ReplacePlaceholder("no marks", "{APPDIR}", "/x"), "no marks");
}

TEST(Favorites, FoldersAndAddressesAreResolvedFromTheFile)
{
  QTemporaryDir folder;
  const std::string file =
      WriteFile(folder, "Favorites.ini",
                "[DIRS]\r\nWeb root={appdir}/www\r\nData = data \r\nAbsolute=/srv/x/../y\r\n"
                "[URLS]\r\nphpMyAdmin=http://{LOCALHOST:PORT}/phpmyadmin/\r\n"
                "Plain=\"http://example.test/\"\r\n");
  ASSERT_EQ(chdir("/"), 0);
  EXPECT_EQ(FavoriteFolder(file, "Web root"), GetAppDir() + "/www");
  // A relative folder is taken beside the program, whatever the current folder was.
  EXPECT_EQ(FavoriteFolder(file, " Data "), GetAppDir() + "/data");
  EXPECT_EQ(FavoriteFolder(file, "Absolute"), "/srv/y");
  EXPECT_EQ(FavoriteFolder(file, "Missing"), "");
  EXPECT_EQ(FavoriteAddress(file, "phpmyadmin", 8080), "http://127.0.0.1:8080/phpmyadmin/");
  EXPECT_EQ(FavoriteAddress(file, "Plain", 8080), "http://example.test/");
  EXPECT_EQ(FavoriteAddress(file, "Missing", 8080), "");

  EXPECT_EQ(FavoritesFilePath(file), std::filesystem::canonical(file).string());
  EXPECT_EQ(FavoritesFilePath(folder.path().toStdString() + "/none.ini"), "");
}

TEST(Favorites, KeyListAndValuesKeepTheirLimits)
{
  QTemporaryDir folder;
  std::string text = "[URLS]\n";
  // 400 keys of 49 characters: 20000 bytes of names, more than the 16384-byte key list holds.
  for (int index = 0; index < 400; ++index) {
    char key[64];
    snprintf(key, sizeof key, "%049d", index);
    text += std::string(key) + "=http://x/\n";
  }
  text += "[DIRS]\nLong=" + std::string(3000, 'a') + "\n";
  const std::string file = WriteFile(folder, "Favorites.ini", text);

  const TFavoriteKeys keys = ReadFavoriteKeys(file);
  // Whole names of 50 bytes each (with their zero) within 16384 bytes less the final zero.
  EXPECT_EQ(keys.addresses.size(), 16383u / 50u);
  EXPECT_EQ(keys.addresses.front(), std::string(49, '0'));
  EXPECT_EQ(FavoriteFolder(file, "Long"), GetAppDir() + "/" + std::string(2047, 'a'));
}

TEST_F(MainFormTest, FavoritesMenuListsFoldersThenAddressesAndOpensThem)
{
  QTemporaryDir folder;
  const std::string target = folder.path().toStdString();
  info.favoritesFile = WriteFile(
      folder, "Favorites.ini",
      "[DIRS]\nTemp folder=" + target +
          "\n-=\nNowhere=/no/such/folder\n"
          "[URLS]\nFirst page=http://{LOCALHOST:PORT}/p1\n-=x\nSecond=http://{localhost:port}/p2\n");
  Start();
  auto *menu = Find<QMenu>("mnuMenu");
  EXPECT_EQ(MenuCaptions(menu), (QStringList{"Organize Favorites...", "-", "Temp folder", "-", "Nowhere", "-",
                                             "First page", "-", "Second"}));
  EXPECT_EQ(menu->defaultAction()->text(), "Organize Favorites...");
  EXPECT_EQ(form->FavoritesPath, std::filesystem::canonical(info.favoritesFile).string());
  EXPECT_EQ(Find<QToolButton>("btnFavorites")->menu(), menu);

  // An address entry shows the address, placeholder replaced, and goes there.
  menu->actions()[6]->trigger();
  EXPECT_EQ(Address()->currentText(), server.Address("/p1"));
  ASSERT_TRUE(WaitUntil([this] { return form->windowTitle() == "Page 1"; }, 60s, "the title of page 1"));

  // Folders go to the desktop's opener, which the test replaces to see what it is given.
  QTextBrowser opener;
  QDesktopServices::setUrlHandler("file", &opener, "setSource");
  menu->actions()[4]->trigger();
  EXPECT_TRUE(opener.source().isEmpty());
  menu->actions()[2]->trigger();
  EXPECT_EQ(opener.source(), QUrl::fromLocalFile(QString::fromStdString(target)));
  // The button face and "Organize Favorites..." open the file itself.
  Find<QToolButton>("btnFavorites")->click();
  EXPECT_EQ(opener.source(), QUrl::fromLocalFile(QString::fromStdString(form->FavoritesPath)));
  QDesktopServices::unsetUrlHandler("file");
}

TEST_F(MainFormTest, WithoutAFavoritesFileOnlyOrganizeRemainsAndEmptySectionsKeepBothSeparators)
{
  QTemporaryDir folder;
  info.favoritesFile = folder.path().toStdString() + "/Favorites.ini";
  Start();
  EXPECT_EQ(MenuCaptions(Find<QMenu>("mnuMenu")), QStringList{"Organize Favorites..."});
  EXPECT_EQ(form->FavoritesPath, "");

  TfrmMain second{TStackHooks{}};
  const std::string file = WriteFile(folder, "Favorites.ini", "[URLS]\nHome=http://{LOCALHOST:PORT}/\n");
  EXPECT_FALSE(second.LoadFavorites(file).empty());
  EXPECT_EQ(MenuCaptions(second.findChild<QMenu *>("mnuMenu")),
            (QStringList{"Organize Favorites...", "-", "-", "Home"}));
}
