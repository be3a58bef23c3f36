// The tray icon is driven for real: xdotool clicks the icon's own window inside the display's tray.
#include "GuiWait.h"
#include "OutDir.h"
#include "TestHttpServer.h"
#include "shell/MainForm.h"
#include "shell/StartupInfo.h"
#include "shell/TrayIconMan.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
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
void WaitPastClickBlock()
{
  WaitUntil([] { return false; }, QApplication::doubleClickInterval() + 55 + 150);
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
    ASSERT_TRUE(WaitUntil([&] {
      for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->inherits("QSystemTrayIconSys") && widget->isVisible())
          iconWindow = widget;
      return iconWindow != nullptr;
    }));
    // A new icon takes clicks only once the tray has finished embedding it, which Qt does not report.
    if (iconWindow != settledIconWindow) {
      WaitUntil([] { return false; }, 1000);
      settledIconWindow = iconWindow;
    }
    const QPoint centre = iconWindow->rect().center();
    const size_t before = reasons.size();
    ASSERT_EQ(QProcess::execute("xdotool", {"mousemove", "--window", QString::number(iconWindow->winId()),
                                            QString::number(centre.x()), QString::number(centre.y()), "click",
                                            "--repeat", QString::number(count), "--delay", "60",
                                            QString::number(button)}),
              0);
    ASSERT_TRUE(WaitUntil([&] { return reasons.size() >= before + count; }));
  }

  std::vector<QSystemTrayIcon::ActivationReason> reasons;
  QWidget *settledIconWindow = nullptr;
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

  WaitPastClickBlock();
  Click(1, 2);
  EXPECT_EQ(toggles, 2);
  EXPECT_EQ(reasons.back(), QSystemTrayIcon::DoubleClick);

  // Three quick clicks: the first toggles, the second completes a double click, the third falls in
  // the block and brings the application window forward instead.
  WaitPastClickBlock();
  other.activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return other.isActiveWindow(); }));
  Click(1, 3);
  EXPECT_EQ(toggles, 3);
  EXPECT_TRUE(WaitUntil([&] { return applicationWindow.isActiveWindow(); }));

  WaitPastClickBlock();
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
  ASSERT_TRUE(WaitUntil([&] { return menu.isVisible(); }));
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

  ASSERT_TRUE(WaitUntil([&] { return main.TrayIconMan != nullptr; }));
  QSystemTrayIcon *icon = main.TrayIconMan->TrayIcon();
  Watch(icon);
  // The tip stays the configured title whatever the page is called.
  ASSERT_TRUE(WaitUntil([&] { return main.windowTitle() == "Local site"; }));
  EXPECT_EQ(icon->toolTip(), "Corvala Tray Test");

  Click(1);
  EXPECT_TRUE(WaitUntil([&] { return main.isHidden(); }));
  WaitPastClickBlock();
  Click(1);
  EXPECT_TRUE(WaitUntil([&] { return main.isVisible() && main.isActiveWindow(); }));

  // Minimising hides to the tray; Show/Hide brings the window back restored.
  main.showMinimized();
  EXPECT_TRUE(WaitUntil([&] { return main.isHidden(); }));
  main.findChild<QAction *>("mnuTray_Show")->trigger();
  EXPECT_TRUE(WaitUntil([&] { return main.isVisible() && !main.isMinimized(); }));

  Click(3);
  ASSERT_TRUE(WaitUntil([&] { return main.mnuTray->isVisible(); }));
  EXPECT_TRUE(main.isVisible());
  WaitUntil([] { return false; }, 300);
  QProcess::execute("import", {"-window", "root", OutDir() + "/tray-menu.png"});
  main.mnuTray->hide();

  // While a modal dialog is open, the icon does nothing.
  WaitPastClickBlock();
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
