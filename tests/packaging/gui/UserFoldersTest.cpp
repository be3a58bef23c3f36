// The user's folders as the desktop names them: the rebrand dialog's desktop and the build's
// default output place.
#include "packaging/gui/UserFolders.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

using TestSupport::TEnvOverride;

TEST(UserFolders, TheUserDirsSettingsNameThemElseTheHomeHoldsThem)
{
  TestSupport::TScratchFolder root("corvala-userdirs");
  const std::string home = root.Path().string();
  const TEnvOverride homeVariable("HOME", home);
  const TEnvOverride configVariable("XDG_CONFIG_HOME", root.File("config"));
  EXPECT_EQ(Corvala::GetDesktopFolder(), home + "/Desktop");
  EXPECT_EQ(Corvala::GetMyDocumentsFolder(), home + "/Documents");

  root.Write("config/user-dirs.dirs",
             "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  EXPECT_EQ(Corvala::GetDesktopFolder(), home + "/Schreibtisch");
  EXPECT_EQ(Corvala::GetMyDocumentsFolder(), home + "/Dokumente");
}
