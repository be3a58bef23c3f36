// The tray icon is driven for real: xdotool clicks the icon's own window inside the display's tray.
#include "OutDir.h"
#include "TestHttpServer.h"
#include "WindowManagerView.h"
#include "shell/MainForm.h"
#include "shell/StartupInfo.h"
#include "shell/TrayIconMan.h"
#include "support/GuiWait.h"
#include "support/XWindowPlace.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QMenu>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{

QIcon TestIcon()
{
  QPixmap picture(22, 22);
  picture.fill(Qt::darkGreen);
  return QIcon(picture);
}

// Waits out the click block, so the next click is a fresh one.
::testing::AssertionResult WaitPastClickBlock(const TTrayIconMan &tray)
{
  return WaitUntil([&] { return !tray.ClicksBlocked(); }, 60s, "the end of the click block");
}

class TrayTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!QSystemTrayIcon::isSystemTrayAvailable())
      GTEST_SKIP() << "this display has no system tray (the test scripts' display starts trayer)";
  }

  // Records the icon's activations, so a test knows when a click has arrived.
  void Watch(QSystemTrayIcon *icon)
  {
    reasons.clear();
    QObject::connect(icon, &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) { reasons.push_back(reason); });
  }

  // Clicks Button (1 left, 3 right) Count times in quick succession on the icon and waits until the
  // icon has reported each press. The icon's window is found among the application's windows: under
  // an XEmbed tray, QSystemTrayIcon::geometry() does not know where the tray put it.
  void Click(int button, int count = 1)
  {
    QWidget *iconWindow = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
          for (QWidget *widget : QApplication::topLevelWidgets())
            if (widget->inherits("QSystemTrayIconSys") && widget->isVisible())
              iconWindow = widget;
          return iconWindow != nullptr;
        },
        60s, "the tray icon's window"));
    ASSERT_TRUE(
        TestSupport::WaitForTrayIconToSettle(std::to_string(iconWindow->winId()), RunEventsBetweenChecks));
    // Within the double-click time of the last click, whichever test made it, a click would count as
    // the second of a double click.
    ASSERT_TRUE(WaitUntil(
        [] { return !LastClick().isValid() || LastClick().elapsed() > QApplication::doubleClickInterval(); },
        60s, "the double-click time since the last click"));
    const QPoint centre = iconWindow->rect().center();
    const size_t before = reasons.size();
    ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", "--window", QString::number(iconWindow->winId()),
                                            QString::number(centre.x()), QString::number(centre.y()), "click",
                                            "--repeat", QString::number(count), "--delay", "60",
                                            QString::number(button)}),
              0);
    LastClick().start();
    ASSERT_TRUE(
        WaitUntil([&] { return reasons.size() >= before + count; }, 60s, "the icon to report the clicks"));
  }

  // When the last click of this program went out.
  static QElapsedTimer &LastClick()
  {
    static QElapsedTimer clock;
    return clock;
  }

  std::vector<QSystemTrayIcon::ActivationReason> reasons;
};

} // namespace

TEST(TrayTip, FitsPast127CharactersWithAnEllipsis)
{
  const QString exact(MaxTrayTipLength, 'a');
  EXPECT_EQ(FitTrayTip(exact), exact);
  EXPECT_EQ(FitTrayTip("Corvala"), "Corvala");

  const QString fitted = FitTrayTip(QString(200, 'b'));
  EXPECT_EQ(fitted.size(), MaxTrayTipLength);
  EXPECT_EQ(fitted, QString(124, 'b') + "...");

  // A character outside the basic plane across the cut goes whole.
  const QString astral = QString(123, 'c') + QString::fromUtf8("\xF0\x9F\x98\x80") + QString(10, 'd');
  const QString cut = FitTrayTip(astral);
  EXPECT_EQ(cut, QString(123, 'c') + "...");
  EXPECT_FALSE(cut.contains(QChar(0xD83D)));
}

TEST_F(TrayTest, ADoubleClickTogglesOnceAndAClickInsideTheBlockOnlyBringsTheWindowForward)
{
  QWidget applicationWindow;
  applicationWindow.setWindowTitle("Application window");
  applicationWindow.show();
  QWidget other;
  other.setWindowTitle("Other window");
  other.show();
  TTrayIconMan tray(&applicationWindow);
  int toggles = 0;
  QMenu menu;
  tray.AddIcon(
      TestIcon(), "Tip", [&] { ++toggles; }, &menu);
  ASSERT_TRUE(tray.IconAdded());
  Watch(tray.TrayIcon());

  Click(1);
  EXPECT_EQ(toggles, 1);

  ASSERT_TRUE(WaitPastClickBlock(tray));
  Click(1, 2);
  EXPECT_EQ(toggles, 2);
  EXPECT_EQ(reasons.back(), QSystemTrayIcon::DoubleClick);

  // Three quick clicks: the first toggles, the second completes a double click, the third falls in
  // the block and brings the application window forward instead.
  ASSERT_TRUE(WaitPastClickBlock(tray));
  other.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return other.isActiveWindow(); }, 60s, "the other window to be active"));
  Click(1, 3);
  EXPECT_EQ(toggles, 3);
  EXPECT_TRUE(WaitUntil([&] { return applicationWindow.isActiveWindow(); }, 60s,
                        "the application window to be active"));

  ASSERT_TRUE(WaitPastClickBlock(tray));
  Click(1);
  EXPECT_EQ(toggles, 4);
}

TEST_F(TrayTest, RightClickOpensTheMenuAndNotificationsOffIgnoreClicks)
{
  QWidget applicationWindow;
  TTrayIconMan tray(&applicationWindow);
  int toggles = 0;
  QMenu menu;
  menu.addAction("Item");
  const QString longTip = QString(130, 'x');
  tray.AddIcon(
      TestIcon(), longTip, [&] { ++toggles; }, &menu);
  EXPECT_EQ(tray.TrayIcon()->toolTip(), FitTrayTip(longTip));
  Watch(tray.TrayIcon());

  Click(3);
  ASSERT_TRUE(WaitUntil([&] { return menu.isVisible(); }, 60s, "the menu"));
  EXPECT_EQ(toggles, 0);
  EXPECT_LE((menu.geometry().center() - QCursor::pos()).manhattanLength(), menu.width() + menu.height());
  menu.hide();

  tray.SetNotifications(false);
  Click(1);
  Click(3);
  EXPECT_EQ(toggles, 0);
  EXPECT_FALSE(menu.isVisible());

  tray.SetNotifications(true);
  Click(1);
  EXPECT_EQ(toggles, 1);
}

TEST_F(TrayTest, TheMainWindowLivesInTheTray)
{
  TTestHttpServer server;
  server.SetPage("/", TitledPage("Local site"));
  QTemporaryDir folder;
  TfrmMain main{TStackHooks{}};
  main.ApplyTitle("Corvala Tray Test", TestIcon());
  main.show();
  TStartupInfo info;
  info.apachePort = server.Port();
  info.brand = false;
  info.favoritesFile = folder.filePath("Favorites.ini").toStdString();
  main.CompleteStartup(info);

  ASSERT_TRUE(WaitUntil([&] { return main.TrayIconMan != nullptr; }, 60s, "the tray icon"));
  QSystemTrayIcon *icon = main.TrayIconMan->TrayIcon();
  Watch(icon);
  // The tip stays the configured title whatever the page is called.
  ASSERT_TRUE(WaitUntil([&] { return main.windowTitle() == "Local site"; }, 60s, "the page's title"));
  EXPECT_EQ(icon->toolTip(), "Corvala Tray Test");

  // Hidden and shown as the window manager sees it too: each step goes on once it has carried out
  // the one before.
  const auto shown = [&] { return main.isVisible() && !main.isMinimized() && WmState(&main) == "Normal"; };
  const auto hidden = [&] { return main.isHidden() && WmState(&main).isEmpty(); };
  Click(1);
  EXPECT_TRUE(WaitUntil(hidden, 60s, "the window to hide"));
  ASSERT_TRUE(WaitPastClickBlock(*main.TrayIconMan));
  Click(1);
  EXPECT_TRUE(WaitUntil([&] { return shown() && main.isActiveWindow(); }, 60s, "the window to show, active"));

  // Minimising hides to the tray; Show/Hide brings the window back restored.
  main.showMinimized();
  EXPECT_TRUE(WaitUntil(hidden, 60s, "the minimised window to hide"));
  main.findChild<QAction *>("mnuTray_Show")->trigger();
  EXPECT_TRUE(WaitUntil(shown, 60s, "the window to show again"));

  Click(3);
  ASSERT_TRUE(WaitUntil([&] { return main.mnuTray->isVisible(); }, 60s, "the tray menu"));
  EXPECT_TRUE(main.isVisible());
  SaveScreenshot("tray-menu.png");
  main.mnuTray->hide();

  // While a modal dialog is open, the icon does nothing.
  ASSERT_TRUE(WaitPastClickBlock(*main.TrayIconMan));
  main.SetTrayNotifications(false);
  Click(1);
  EXPECT_TRUE(main.isVisible());
  main.SetTrayNotifications(true);

  // Once shutdown has removed the icon, nothing puts it up again.
  main.UpdateTrayIcon(false);
  EXPECT_EQ(main.TrayIconMan, nullptr);
  main.UpdateTrayIcon(true);
  EXPECT_EQ(main.TrayIconMan, nullptr);
}
