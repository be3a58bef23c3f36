#include "MainFormFixture.h"
#include "config/Favorites.h"
#include "files/Paths.h"

#include <QDesktopServices>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <fstream>
#include <unistd.h>

using namespace Files;

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
