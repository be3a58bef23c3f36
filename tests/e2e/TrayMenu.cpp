#include "TrayMenu.h"

#include "E2eSupport.h"
#include "XDriver.h"

#include <gtest/gtest.h>

namespace E2e
{

std::string OpenFromTray(pid_t launcher, const std::string &mnemonic, const std::string &dialogName)
{
  std::string icon;
  if (!WaitFor([&] { return !(icon = TrayIconWindowOf(launcher)).empty(); }, 30)) {
    ADD_FAILURE() << "the launcher put no icon into the tray";
    return {};
  }
  // The tray takes clicks on a new icon only once it has embedded it, which nothing reports.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  bool menuOpen = false;
  for (int attempt = 0; attempt < 3 && !menuOpen; ++attempt) {
    ClickIn(icon, 8, 8, 3);
    menuOpen = WaitFor([&] { return !PopupMenuOf(launcher).empty(); }, 5);
  }
  if (!menuOpen) {
    ADD_FAILURE() << "a right click on the tray icon opened no menu";
    return {};
  }
  SaveScreenshot(CORVALA_SCREENSHOTS, "maintenance-tray-menu.png");
  PressKeys(mnemonic);
  std::string dialog;
  if (!WaitFor([&] { return !(dialog = VisibleWindowNamed("^" + dialogName + "$")).empty(); }, 30))
    ADD_FAILURE() << "the tray menu entry opened no \"" << dialogName << "\" dialog";
  return dialog;
}

void ConfirmYes(const std::string &screenshot)
{
  std::string confirm;
  ASSERT_TRUE(WaitFor([&] { return !(confirm = VisibleWindowNamed("^Confirm$")).empty(); }, 30))
      << "OK asked for no confirmation";
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  SaveScreenshot(CORVALA_SCREENSHOTS, screenshot);
  ASSERT_TRUE(ActivateWindow(confirm));
  ASSERT_TRUE(PressKeys("Return"));
}

void ApplySettingsPort(pid_t launcher, int port, const std::string &screenshotPrefix)
{
  const std::string dialog = OpenFromTray(launcher, "e", "Server Settings");
  ASSERT_FALSE(dialog.empty());
  ASSERT_TRUE(ClickIn(dialog, SettingsPortField.x, SettingsPortField.y));
  ASSERT_TRUE(PressKeys("ctrl+a"));
  ASSERT_TRUE(TypeText(std::to_string(port)));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  SaveScreenshot(CORVALA_SCREENSHOTS, screenshotPrefix + "-dialog.png");
  ASSERT_TRUE(ClickIn(dialog, SettingsOk.x, SettingsOk.y));
  ConfirmYes(screenshotPrefix + "-confirm.png");
}

} // namespace E2e
