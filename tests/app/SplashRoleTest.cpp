#include "app/SplashRole.h"

#include "support/TestSupport.h"

#include <QApplication>
#include <gtest/gtest.h>

// The switched-off splash returns before it creates an application or a window; a second
// QApplication in this test program, or a window's event loop, would never return.
TEST(SplashRole, ShowSplashZeroEndsAtOnce)
{
  const TestSupport::TScratchFolder folder("splash_role");
  const std::string config = folder.Write("Config.ini", "[INI]\r\ntitle=Corvala\r\nShowSplash = \"0\"\r\n");
  const int windows = QApplication::topLevelWidgets().size();
  static char name[] = "app_tests";
  char *argv[] = {name, nullptr};
  EXPECT_EQ(RunSplashRole(config, 1, argv), 0);
  EXPECT_EQ(QApplication::topLevelWidgets().size(), windows);
}
