#include "config/Favorites.h"
#include "files/Paths.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <string>

using namespace Files;
using namespace TestSupport;

namespace
{

std::string WriteFile(const TScratchFolder &folder, const std::string &name, const std::string &text)
{
  const std::string path = folder.File(name);
  std::ofstream(path, std::ios::binary) << text;
  return path;
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
  TScratchFolder folder;
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
  EXPECT_EQ(FavoritesFilePath(folder.File("none.ini")), "");
}

TEST(Favorites, KeyListAndValuesKeepTheirLimits)
{
  TScratchFolder folder;
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
