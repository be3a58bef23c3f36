#include "app/SplashRole.h"

#include <QApplication>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

// The switched-off splash returns before it creates an application or a window; a second
// QApplication in this test program, or a window's event loop, would never return.
TEST(SplashRole, ShowSplashZeroEndsAtOnce)
{
  char folder[] = "/tmp/splash_roleXXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string config = std::string(folder) + "/Config.ini";
  std::ofstream(config) << "[INI]\r\ntitle=Corvala\r\nShowSplash = \"0\"\r\n";
  const int windows = QApplication::topLevelWidgets().size();
  static char name[] = "app_tests";
  char *argv[] = {name, nullptr};
  EXPECT_EQ(RunSplashRole(config, 1, argv), 0);
  EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
  std::remove(config.c_str());
  rmdir(folder);
}
