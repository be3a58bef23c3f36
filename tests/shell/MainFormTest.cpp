#include "MainFormFixture.h"
#include "OutDir.h"
#include "WindowManagerView.h"
#include "browser/BrowserForm.h"
#include "files/Paths.h"
#include "shell/AboutForm.h"
#include "widgets/ApplicationTitle.h"
#include "widgets/MessageBox.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineNewWindowRequest>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

TEST_F(MainFormTest, FirstNavigationOpensTheLocalSiteAndTheCaptionFollowsThePageTitle)
{
  form = std::make_unique<TfrmMain>(TStackHooks{});
  form->ApplyTitle("Corvala Stack", QIcon());
  EXPECT_EQ(form->windowTitle(), "Corvala Stack");
  EXPECT_EQ(ApplicationTitle(), "Corvala Stack");
  EXPECT_TRUE(form->windowState() & Qt::WindowMaximized);
  form.reset();

  Start();
  EXPECT_EQ(server.Requests("/"), 1);
  EXPECT_EQ(ApplicationTitle(), "Local Site");
  EXPECT_TRUE(form->Started);
  EXPECT_EQ(History(), QStringList{server.Address("/")});
  EXPECT_EQ(Address()->currentIndex(), 0);
  EXPECT_EQ(Address()->currentText(), server.Address("/"));
  EXPECT_TRUE(Browser()->Silent());
  EXPECT_FALSE(Find<QToolButton>("btnBack")->isEnabled());

  Visit("/p1", "Page 1");
  EXPECT_TRUE(
      WaitUntil([this] { return Find<QToolButton>("btnBack")->isEnabled(); }, 60s, "Back to be enabled"));
  EXPECT_FALSE(Find<QToolButton>("btnForward")->isEnabled());
  EXPECT_TRUE(form->grab().save(OutDir() + "/main.png"));

  Find<QToolButton>("btnBack")->click();
  ASSERT_TRUE(
      WaitUntil([this] { return form->windowTitle() == "Local Site"; }, 60s, "the title of the local site"));
  EXPECT_TRUE(WaitUntil([this] { return Find<QToolButton>("btnForward")->isEnabled(); }, 60s,
                        "Forward to be enabled"));
  // Back selects the known address and adds nothing.
  EXPECT_EQ(History(), (QStringList{server.Address("/p1"), server.Address("/")}));
  EXPECT_EQ(Address()->currentIndex(), 1);
}

TEST_F(MainFormTest, HistoryKeepsTheNewest24DistinctAddresses)
{
  Start();
  for (int page = 1; page <= 25; ++page)
    Visit(QString("/p%1").arg(page), QString("Page %1").arg(page));
  QStringList expected;
  for (int page = 25; page >= 2; --page)
    expected << server.Address(QString("/p%1").arg(page));
  EXPECT_EQ(History(), expected);

  Visit("/p10", "Page 10");
  EXPECT_EQ(History(), expected);
  EXPECT_EQ(Address()->currentIndex(), expected.indexOf(server.Address("/p10")));

  // Letter case makes a different address.
  server.SetPage("/P10", TitledPage("Upper 10"));
  Visit("/P10", "Upper 10");
  EXPECT_EQ(History().size(), 24);
  EXPECT_EQ(History().first(), server.Address("/P10"));
  EXPECT_FALSE(History().contains(server.Address("/p2")));
}

TEST_F(MainFormTest, AddressBoxKeysWalkTheHistoryAndEnterNavigates)
{
  Start();
  Visit("/p1", "Page 1");
  Visit("/p2", "Page 2");
  const QStringList history = History();
  ASSERT_EQ(history.size(), 3);
  ASSERT_EQ(Address()->currentIndex(), 0);

  Key(Qt::Key_Up);
  EXPECT_EQ(Address()->currentIndex(), 0);
  Key(Qt::Key_Down);
  EXPECT_EQ(Address()->currentText(), history[1]);
  Key(Qt::Key_Right);
  EXPECT_EQ(Address()->currentIndex(), 2);
  Key(Qt::Key_Down);
  EXPECT_EQ(Address()->currentIndex(), 2);
  Key(Qt::Key_Left);
  EXPECT_EQ(Address()->currentIndex(), 1);
  // Walking the history does not navigate.
  EXPECT_EQ(form->windowTitle(), "Page 2");

  Address()->lineEdit()->clear();
  EXPECT_EQ(Address()->currentIndex(), -1);
  EXPECT_EQ(History(), history);
  Key(Qt::Key_Down);
  EXPECT_EQ(Address()->currentIndex(), 0);

  // Enter goes to the box's text with blanks and control characters trimmed, nothing else added.
  Address()->setEditText("\t  " + server.Address("/p3") + " \n");
  Key(Qt::Key_Enter);
  ASSERT_TRUE(WaitUntil([this] { return form->windowTitle() == "Page 3"; }, 60s, "the title of page 3"));
  EXPECT_EQ(Browser()->LocationURL(), server.Address("/p3"));
}

TEST_F(MainFormTest, AnAddressThatCannotBeNavigatedIsReportedAndTheWindowStays)
{
  Start();
  QString reported;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
      reported = box->windowTitle() + "|" + box->text();
      box->accept();
    }
  });
  closer.start(10);
  for (const QString &typed : {QString("http://[no-such"), QString("exa mple.com")}) {
    reported.clear();
    Address()->setEditText(typed);
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return !reported.isEmpty(); }, 60s, "the report of the failed navigation"));
    EXPECT_EQ(reported, "Local Site|'" + typed + "' is not a valid address.");
    EXPECT_EQ(Browser()->LocationURL(), server.Address("/"));
  }
}

TEST_F(MainFormTest, TypedAddressesWithoutASchemeAreCompletedAsBrowsersDo)
{
  EXPECT_EQ(CompletedAddress("localhost/phpmyadmin"), QUrl("http://localhost/phpmyadmin"));
  EXPECT_EQ(CompletedAddress("www.example.com"), QUrl("http://www.example.com"));
  EXPECT_EQ(CompletedAddress("localhost:8080"), QUrl("http://localhost:8080"));
  EXPECT_EQ(CompletedAddress("/srv/www/index.html"), QUrl("file:///srv/www/index.html"));
  EXPECT_EQ(CompletedAddress("about:blank"), QUrl("about:blank"));

  Start();
  const QString port = QString::number(server.Port());
  // Host, port and path; then host and port alone: both reach the server, and caption and history
  // name the completed address.
  Address()->setEditText("127.0.0.1:" + port + "/p1");
  Key(Qt::Key_Return);
  ASSERT_TRUE(
      WaitUntil([&] { return form->windowTitle() == "Page 1" && Complete(); }, 60s, "page 1, complete"));
  EXPECT_EQ(History().first(), server.Address("/p1"));
  Address()->setEditText("127.0.0.1:" + port);
  Key(Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return form->windowTitle() == "Local Site" && Complete(); }, 60s,
                        "the local site, complete"));
  EXPECT_EQ(server.Requests("/"), 2);
  EXPECT_EQ(WmName(form.get()), "Local Site");
}

TEST_F(MainFormTest, TheAddressBoxNavigatesOnAPickFromTheListButNotWhenItLosesTheFocus)
{
  Start();
  Visit("/p1", "Page 1");
  Visit("/p2", "Page 2");
  const QUrl p1(server.Address("/p1"));
  ASSERT_TRUE(History().contains(p1.toString()));

  // The exact text of a history item, then the focus moves on: the box selects the item, no more.
  form->activateWindow();
  Address()->setFocus();
  ASSERT_TRUE(
      WaitUntil([&] { return Address()->lineEdit()->hasFocus(); }, 60s, "the focus in the address box"));
  Address()->setEditText(p1.toString());
  Browser()->setFocus();
  ASSERT_TRUE(WaitUntil([&] { return !Address()->lineEdit()->hasFocus(); }, 60s,
                        "the focus to leave the address box"));
  // The next page is visited only after any navigation the focus change started.
  Visit("/p3", "Page 3");
  EXPECT_EQ(server.Requests("/p1"), 1);

  // Choosing an item of the open list (arrow keys, then Enter) goes there.
  Address()->showPopup();
  QAbstractItemView *list = Address()->view();
  ASSERT_TRUE(WaitUntil([&] { return list->isVisible(); }, 60s, "the address list to open"));
  list->setCurrentIndex(list->model()->index(History().indexOf(p1.toString()), 0));
  QKeyEvent enter(QEvent::ShortcutOverride, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(list, &enter);
  ASSERT_TRUE(
      WaitUntil([&] { return form->windowTitle() == "Page 1" && Complete(); }, 60s, "page 1, complete"));
}

TEST_F(MainFormTest, EveryWindowShowsItsOwnCaptionAndTheApplicationIconToTheWindowManager)
{
  // A red square, as the program's icon would be set for the application.
  QPixmap red(16, 16);
  red.fill(Qt::red);
  QApplication::setWindowIcon(QIcon(red));
  const QString redIcon = "16, 16, 4294901760, 4294901760";
  Start();
  ASSERT_TRUE(WaitUntil([&] { return WmName(form.get()) == "Local Site"; }, 60s,
                        "the window manager's caption of the main window"));
  EXPECT_TRUE(WmIcon(form.get()).startsWith(redIcon)) << WmIcon(form.get()).left(80).toStdString();

  // A pop-up: its page's title alone, and the icon.
  Browser()->page()->runJavaScript("window.open('/p1')");
  TfrmBrowser *popup = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (QWidget *window : QApplication::topLevelWidgets())
          if (auto *candidate = qobject_cast<TfrmBrowser *>(window); candidate && candidate->isVisible())
            popup = candidate;
        return popup && popup->Browser()->title() == "Page 1";
      },
      60s, "the pop-up window"));
  EXPECT_TRUE(
      WaitUntil([&] { return WmName(popup) == "Page 1"; }, 60s, "the window manager's caption of the pop-up"))
      << WmName(popup).toStdString();
  EXPECT_TRUE(WmIcon(popup).startsWith(redIcon));
  // An empty caption does not borrow the main page's title.
  popup->setWindowTitle("");
  EXPECT_TRUE(WaitUntil([&] { return WmName(popup) != "Page 1"; }, 60s, "the pop-up's caption to change"));
  EXPECT_FALSE(WmName(popup).contains("Local Site")) << WmName(popup).toStdString();
  delete popup;

  // About and the message boxes: their own captions, and the icon.
  QStringList seen;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible() || WmName(dialog).isEmpty())
      return;
    seen << WmName(dialog) + (WmIcon(dialog).startsWith(redIcon) ? "+icon" : "-icon");
    dialog->close();
  });
  closer.start(10);
  TrayItem("mnuTray_About")->trigger();
  Widgets::ShowMessageBox("Something failed", Widgets::MB_OK | Widgets::MB_ICONERROR);
  Widgets::ShowMessageBox("Plain", Widgets::MB_OK);
  EXPECT_EQ(seen, QStringList({"About+icon", "Error+icon", "Local Site+icon"}));
  QApplication::setWindowIcon(QIcon());
}

TEST_F(MainFormTest, ProgressBarLiesOverPanelOneWhileLoading)
{
  Start();
  auto *bar = Find<QProgressBar>("ProgressBar1");
  auto *panel = Find<QLabel>("StatusBar1_Panel1");
  EXPECT_EQ(bar->parentWidget(), Find<QStatusBar>("StatusBar1"));
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(panel->frameShadow(), QFrame::Sunken);

  emit Browser()->ProgressChange(40, 100);
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(panel->frameShape(), QFrame::NoFrame);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_EQ(bar->value(), 40);
  EXPECT_EQ(bar->geometry(), panel->geometry());

  emit Browser()->ProgressChange(0, 100);
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(panel->frameShape(), QFrame::Panel);

  // A real load ends with the bar hidden again.
  Visit("/p1", "Page 1");
  EXPECT_FALSE(bar->isVisible());
  EXPECT_EQ(Find<QLabel>("StatusBar1_Panel2")->width(), 80);
  EXPECT_EQ(panel->width(), 200);
}

TEST_F(MainFormTest, UnbrandedWindowOffersEveryButtonAndTheFullTrayMenu)
{
  Start();
  for (const char *name : {"btnBack", "btnForward", "btnRefresh", "btnStop", "btnHome", "ToolButton1",
                           "btnFavorites", "btnBrand", "btnTerminal", "btnLogs"})
    EXPECT_TRUE(Find<QWidget>(name)->isVisible()) << name;
  QStringList captions;
  for (QAction *item : form->mnuTray->actions()) {
    EXPECT_TRUE(item->isVisible());
    captions << (item->isSeparator() ? "-" : item->text());
  }
  EXPECT_EQ(captions,
            (QStringList{"&Show/Hide Main Window", "-", "&Down Size...", "Server S&ettings...", "&Terminal",
                         "&Logs...", "Clear &Browsing Data...", "-", "&Help Contents", "&Contact Us",
                         "&Visit Website", "&About...", "Add to Applications &Menu", "-", "E&xit"}));
  EXPECT_EQ(form->mnuTray->defaultAction(), TrayItem("mnuTray_Show"));
  EXPECT_TRUE(TrayItem("mnuTray_DownSize")->isEnabled());
  EXPECT_TRUE(TrayItem("mnuTray_Settings")->isEnabled());

  bool rebrand = false;
  QObject::connect(form.get(), &TfrmMain::rebrandRequested, [&] { rebrand = true; });
  Find<QToolButton>("btnBrand")->click();
  EXPECT_TRUE(rebrand);
}

TEST_F(MainFormTest, BrandedWindowHidesTheExtraButtonsAndTrayItemsAndCdModeDisablesMaintenance)
{
  info.brand = true;
  info.isCdRom = true;
  Start();
  for (const char *name : {"btnBack", "btnForward", "btnRefresh", "btnStop", "btnHome"})
    EXPECT_TRUE(Find<QWidget>(name)->isVisible()) << name;
  for (const char *name : {"ToolButton1", "btnFavorites", "btnBrand", "btnTerminal", "btnLogs"})
    EXPECT_FALSE(Find<QWidget>(name)->isVisible()) << name;
  QStringList shown;
  for (QAction *item : form->mnuTray->actions())
    if (item->isVisible())
      shown << item->objectName();
  EXPECT_EQ(shown, (QStringList{"mnuTray_Show", "mnuTray_Separator0", "mnuTray_ClearBrowsingData",
                                "mnuTray_DesktopEntry", "mnuTray_Exit"}));
  EXPECT_FALSE(TrayItem("mnuTray_DownSize")->isEnabled());
  EXPECT_FALSE(TrayItem("mnuTray_Settings")->isEnabled());
}

TEST_F(MainFormTest, ToolbarAndStatusBarFollowTheirFlags)
{
  info.showToolbar = false;
  info.showStatusBar = false;
  info.showTrayIcon = false;
  Start();
  EXPECT_FALSE(Find<QWidget>("CoolBar1")->isVisible());
  EXPECT_FALSE(Find<QWidget>("StatusBar1")->isVisible());
  EXPECT_FALSE(form->ShowTrayIcon);
  EXPECT_FALSE(form->ShowToolbar);
  EXPECT_TRUE(Browser()->isVisible());
}

// The server watch's note shows in the status bar, which shows for it even when switched off, and
// goes with the note.
TEST_F(MainFormTest, AServerNoteShowsInTheStatusBarUntilItIsCleared)
{
  info.showStatusBar = false;
  Start();
  auto *note = Find<QLabel>("StatusBar1_ServerNote");
  EXPECT_FALSE(note->isVisible());
  form->ShowServerNote("Apache is stopped by a signal and not answering");
  EXPECT_TRUE(Find<QWidget>("StatusBar1")->isVisible());
  EXPECT_TRUE(note->isVisible());
  EXPECT_EQ(note->text(), "Apache is stopped by a signal and not answering");
  form->ShowServerNote("");
  EXPECT_FALSE(note->isVisible());
  EXPECT_FALSE(Find<QWidget>("StatusBar1")->isVisible());
}

TEST_F(MainFormTest, FullScreenCoversTheScreenWithoutBorderAndBarsAndCanBeLeft)
{
  info.fullScreen = true;
  Start();
  const QRect screen = form->screen()->geometry();
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_FALSE(Find<QWidget>("CoolBar1")->isVisible());
  EXPECT_FALSE(Find<QWidget>("StatusBar1")->isVisible());
  EXPECT_TRUE(WaitUntil([&] { return form->geometry() == screen; }, 60s, "the window to cover the screen"));

  form->ExitFullScreen();
  EXPECT_FALSE(form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(Find<QWidget>("CoolBar1")->isVisible());
  EXPECT_TRUE(Find<QWidget>("StatusBar1")->isVisible());
  form->EnterFullScreen();
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
}

TEST_F(MainFormTest, F5InThePageRefreshesIt)
{
  Start();
  QWidget *page = Browser()->focusProxy() ? Browser()->focusProxy() : Browser();
  QKeyEvent press(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier);
  QApplication::sendEvent(page, &press);
  EXPECT_TRUE(WaitUntil([this] { return server.Requests("/") == 2 && Complete(); }, 60s,
                        "the second request of the page, complete"));
}

TEST_F(MainFormTest, ActivationClosesTheSplashProcessOnceThePageIsComplete)
{
  const pid_t splash = fork();
  if (splash == 0) {
    execlp("sleep", "sleep", "600", static_cast<char *>(nullptr));
    _exit(127);
  }
  ASSERT_GT(splash, 0);
  int ends = 0;
  endSplash = [&] {
    ++ends;
    kill(splash, SIGKILL);
  };
  info.splashProcessId = static_cast<Base::TProcessId>(splash);
  Start();
  form->activateWindow();
  ASSERT_TRUE(WaitUntil([&] { return ends > 0; }, 60s, "the splash process to be ended"));
  int status = 0;
  ASSERT_EQ(waitpid(splash, &status, 0), splash);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_EQ(form->SplashProcessId, 0u);
  // A later activation does not end it again.
  QEvent activate(QEvent::WindowActivate);
  QApplication::sendEvent(form.get(), &activate);
  QCoreApplication::processEvents();
  EXPECT_EQ(ends, 1);
}

TEST_F(MainFormTest, TrayExitAndTheCloseBoxEndTheMessageLoopAndDestructionStopsTheServers)
{
  Start();
  QTimer::singleShot(0, [this] { TrayItem("mnuTray_Exit")->trigger(); });
  EXPECT_EQ(QApplication::exec(), 0);
  QTimer::singleShot(0, [this] { form->close(); });
  EXPECT_EQ(QApplication::exec(), 0);

  EXPECT_EQ(stopCalls, 0);
  form.reset();
  EXPECT_EQ(stopCalls, 1);
}

TEST_F(MainFormTest, HelpOpensTheLocalHelpWhenPresentElseTheWebsiteAndShowsTheWindow)
{
  Start();
  form->hide();
  TrayItem("mnuTray_Help")->trigger();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Address()->currentText(), "https://www.corvala.example/");

  const std::filesystem::path help = Files::GetAppDir() + "/www/help";
  std::filesystem::create_directories(help);
  QFile(QString::fromStdString((help / "index.php").string())).open(QIODevice::WriteOnly);
  server.SetPage("/help", TitledPage("Help"));
  TrayItem("mnuTray_Help")->trigger();
  std::filesystem::remove_all(help.parent_path());
  EXPECT_EQ(Address()->currentText(), server.Address("/help"));
  EXPECT_TRUE(WaitUntil([this] { return form->windowTitle() == "Help"; }, 60s, "the title of the help page"));
}

TEST_F(MainFormTest, APageAskingForANewWindowIsHandedOnWithTheHomeAddress)
{
  server.SetPage("/opener", TitledPage("Opener", "<script>window.open('/p1', 'popup')</script>"));
  Start();
  QString home;
  QUrl requested;
  QObject::connect(form.get(), &TfrmMain::newWindowRequested,
                   [&](QWebEngineNewWindowRequest &request, const QString &homeAddress) {
                     home = homeAddress;
                     requested = request.requestedUrl();
                   });
  Visit("/opener", "Opener");
  ASSERT_TRUE(WaitUntil([&] { return !home.isEmpty(); }, 60s, "the new-window request"));
  EXPECT_EQ(home, QString("http://127.0.0.1:%1").arg(server.Port()));
  EXPECT_EQ(requested, QUrl(server.Address("/p1")));
}

TEST_F(MainFormTest, TrayCommandsShowAboutContactAndWebsite)
{
  Start();
  QTextBrowser mailOpener;
  QDesktopServices::setUrlHandler("mailto", &mailOpener, "setSource");
  TrayItem("mnuTray_Email")->trigger();
  EXPECT_EQ(mailOpener.source(), QUrl("mailto:support@corvala.example"));
  QDesktopServices::unsetUrlHandler("mailto");

  // The About box is modal, shows the configured title, and tray clicks are off while it is open.
  std::vector<bool> notifications;
  QObject::connect(form.get(), &TfrmMain::trayNotificationsChanged,
                   [&](bool on) { notifications.push_back(on); });
  QString aboutTitle;
  QTimer closer;
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (auto *about = qobject_cast<TfrmAbout *>(QApplication::activeModalWidget())) {
      aboutTitle = about->findChild<QLabel *>("lblTitle")->text() + "|" +
                   about->findChild<QLabel *>("lblVersion")->text();
      about->accept();
    }
  });
  closer.start(10);
  TrayItem("mnuTray_About")->trigger();
  EXPECT_EQ(aboutTitle, "Corvala|Version 7.00");
  EXPECT_EQ(notifications, (std::vector<bool>{false, true}));

  form->hide();
  TrayItem("mnuTray_Website")->trigger();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(Address()->currentText(), "https://www.corvala.example/");

  TrayItem("mnuTray_Show")->trigger();
  EXPECT_FALSE(form->isVisible());
  TrayItem("mnuTray_Show")->trigger();
  EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormTest, HoveredLinkShowsInTheFirstStatusPanel)
{
  Start();
  emit Browser()->page()->linkHovered(server.Address("/p2"));
  EXPECT_EQ(Find<QLabel>("StatusBar1_Panel0")->text(), server.Address("/p2"));
}

TEST_F(MainFormTest, ANoticeOfTheStartShowsInTheStatusBar)
{
  Start();
  form->ShowNotice("The browser profile has no place: cookies and logins are forgotten at the end.");
  EXPECT_EQ(form->findChild<QStatusBar *>("StatusBar1")->currentMessage(),
            "The browser profile has no place: cookies and logins are forgotten at the end.");
}

// Once the shutdown has begun the window and the tray icon are gone, and no command of the tray or
// the tool bar can start a dialog while the servers stop.
TEST_F(MainFormTest, TheShutdownHidesEverythingFirstAndRefusesCommands)
{
  Start();
  int commands = 0;
  QObject::connect(form.get(), &TfrmMain::settingsRequested, [&] { ++commands; });
  QObject::connect(form.get(), &TfrmMain::downSizeRequested, [&] { ++commands; });
  QObject::connect(form.get(), &TfrmMain::rebrandRequested, [&] { ++commands; });
  Find<QAction>("mnuTray_Settings")->trigger();
  ASSERT_EQ(commands, 1);

  form->BeginShutdown();
  EXPECT_TRUE(form->ShuttingDown());
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->TrayIconMan, nullptr);
  Find<QAction>("mnuTray_Settings")->trigger();
  Find<QAction>("mnuTray_DownSize")->trigger();
  Find<QToolButton>("btnBrand")->click();
  EXPECT_EQ(commands, 1);
}

// The test program's application object has no net for exceptions that escape an event handler:
// a command that failed and relied on one would end the program here.
TEST_F(MainFormTest, ACommandThatFailsIsReportedByTheWindowAndTheNextCommandRuns)
{
  int runs = 0;
  Start();
  QObject::connect(form.get(), &TfrmMain::settingsRequested, [&] {
    if (++runs == 1)
      throw std::runtime_error("Unable to write to /nowhere/my.ini");
  });
  QString shown;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(WaitUntil([&] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); }, 30s,
                          "the error report"));
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    shown = box->windowTitle() + "|" + box->text();
    box->accept();
  });
  TrayItem("mnuTray_Settings")->trigger();
  EXPECT_EQ(shown, "Local Site|Unable to write to /nowhere/my.ini.");
  EXPECT_FALSE(form->CommandRunning());
  TrayItem("mnuTray_Settings")->trigger();
  EXPECT_EQ(runs, 2);
  EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormTest, TerminalOpensFromTheTrayAndTheToolBarOrSaysWhyItCannot)
{
  int opened = 0;
  std::string failure;
  openTerminal = [&] {
    ++opened;
    if (!failure.empty())
      throw std::runtime_error(failure);
  };
  Start();
  TrayItem("mnuTray_Terminal")->trigger();
  Find<QToolButton>("btnTerminal")->click();
  EXPECT_EQ(opened, 2);

  // The reason shows in an error box; the window goes on.
  failure = "No terminal program was found";
  QString shown;
  QTimer::singleShot(0, [&] {
    ASSERT_TRUE(WaitUntil([&] { return qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); }, 30s,
                          "the error box"));
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    shown = box->text();
    box->accept();
  });
  TrayItem("mnuTray_Terminal")->trigger();
  EXPECT_EQ(opened, 3);
  EXPECT_EQ(shown, "No terminal program was found");
  EXPECT_TRUE(form->isVisible());
}
