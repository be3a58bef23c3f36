#include "TrayMenu.h"

#include "E2eSupport.h"
#include "XDriver.h"
#include "support/XWindowPlace.h"

#include <gtest/gtest.h>
#include <optional>

namespace E2e
{

std::string OpenFromTray(pid_t launcher, const std::string &mnemonic, const std::string &dialogName)
{
  std::string icon;
  EXPECT_TRUE(WaitUntil([&] { return !(icon = TrayIconWindowOf(launcher)).empty(); }, 30s,
                        "the launcher's tray icon"));
  if (icon.empty())
    return {};
  const ::testing::AssertionResult settled = TestSupport::WaitForTrayIconToSettle(icon);
  EXPECT_TRUE(settled);
  const std::optional<TestSupport::TXWindowPlace> place = TestSupport::XWindowPlace(icon);
  if (!settled || !place)
    return {};
  EXPECT_TRUE(ClickIn(icon, place->width / 2, place->height / 2, 3));
  const ::testing::AssertionResult menuOpen = WaitUntil([&] { return !PopupMenuOf(launcher).empty(); }, 30s,
                                                        "the menu a right click on the tray icon opens");
  EXPECT_TRUE(menuOpen);
  if (!menuOpen)
    return {};
  SaveScreenshot(CORVALA_SCREENSHOTS, "maintenance-tray-menu.png");
  PressKeys(mnemonic);
  std::string dialog;
  EXPECT_TRUE(WaitUntil([&] { return !(dialog = VisibleWindowNamed("^" + dialogName + "$")).empty(); }, 30s,
                        "the \"" + dialogName + "\" dialog the tray menu entry opens"));
  return dialog;
}

void ConfirmYes(const std::string &screenshot)
{
  std::string confirm;
  ASSERT_TRUE(WaitUntil([&] { return !(confirm = VisibleWindowNamed("^Confirm$")).empty(); }, 30s,
                        "OK's confirmation"));
  SaveScreenshot(CORVALA_SCREENSHOTS, screenshot);
  ASSERT_TRUE(ActivateWindow(confirm));
  ASSERT_TRUE(PressKeys("Return"));
}

void ApplySettingsPort(pid_t launcher, int port, const std::string &screenshotPrefix,
                       const std::vector<const char *> &checkBoxes)
{
  const std::string dialog = OpenFromTray(launcher, "e", "Server Settings");
  ASSERT_FALSE(dialog.empty());
  const TPoint field = SettingsPortField();
  ASSERT_TRUE(ClickIn(dialog, field.x, field.y));
  ASSERT_TRUE(PressKeys("ctrl+a"));
  ASSERT_TRUE(TypeText(std::to_string(port)));
  for (const char *name : checkBoxes) {
    const TPoint box = SettingsBox(name);
    ASSERT_TRUE(ClickIn(dialog, box.x, box.y));
  }
  SaveScreenshot(CORVALA_SCREENSHOTS, screenshotPrefix + "-dialog.png");
  const TPoint ok = SettingsOk();
  ASSERT_TRUE(ClickIn(dialog, ok.x, ok.y));
  ConfirmYes(screenshotPrefix + "-confirm.png");
}

} // namespace E2e
