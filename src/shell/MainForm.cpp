#include "shell/MainForm.h"

#include "base/StartupTrace.h"
#include "browser/BrowserForm.h"
#include "browser/BrowserProfile.h"
#include "browser/PageDialogs.h"
#include "browser/PageWatch.h"
#include "browser/WebBrowser.h"
#include "config/Favorites.h"
#include "corvala/Version.h"
#include "files/Paths.h"
#include "shell/AboutForm.h"
#include "shell/EventPause.h"
#include "shell/LogsForm.h"
#include "shell/TrayIconMan.h"
#include "shell/Vendor.h"
#include "widgets/ApplicationTitle.h"
#include "widgets/ErrorReport.h"
#include "widgets/MessageBox.h"
#include "widgets/QuietTray.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QStringList>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <exception>

using namespace Base;
using namespace Files;
using namespace Widgets;

namespace
{

// What a branded launcher leaves out: the favorites and rebrand buttons with their separator, and
// every tray item but Show/Hide, the separator after it, and Exit.
const QStringList ToolbarEntriesHiddenWhenBranded = {"ToolButton1", "btnFavorites", "btnBrand", "btnTerminal",
                                                     "btnLogs"};
const QStringList TrayItemsHiddenWhenBranded = {
    "mnuTray_DownSize", "mnuTray_Settings", "mnuTray_Terminal", "mnuTray_Logs",  "mnuTray_Separator1",
    "mnuTray_Help",     "mnuTray_Email",    "mnuTray_Website",  "mnuTray_About", "mnuTray_Separator2"};
// The narrowest the address box gets: room for a local address with its port and a path.
constexpr int AddressBoxMinimumWidth = 240;
// How long a close waits for a page that neither agrees nor asks (a busy or slow renderer).
constexpr int UnloadAnswerLimit = 3000;

// Kept in the tray only to exit, the window has nothing to show or hide; without a tray icon, hiding
// the window would leave no way back.
const QStringList TrayItemsHiddenWhenKeptInTray = {"mnuTray_Show", "mnuTray_Separator0"};

// Hides the menu's items whose object names are listed.
void HideMenuItems(QMenu *menu, const QStringList &names)
{
  for (QAction *item : menu->actions())
    if (names.contains(item->objectName()))
      item->setVisible(false);
}

} // namespace

TfrmMain::TfrmMain(TStackHooks hooks, QWidget *parent) : TBrowserWindow(parent), stack(std::move(hooks))
{
  setObjectName("frmMain");
  TPageDialogs::AllowAll();

  mnuMenu = new QMenu(this);
  mnuMenu->setObjectName("mnuMenu");
  QAction *organize = mnuMenu->addAction("Organize Favorites...");
  organize->setObjectName("mnuMenu_OrganizeFavorites");
  mnuMenu->setDefaultAction(organize);
  connect(organize, &QAction::triggered, this, [this] { RunCommand([this] { OrganizeFavorites(); }); });

  CreateToolBand([this] { AddFavoritesAndRebrand(); });
  cboAddress->setMinimumWidth(AddressBoxMinimumWidth);
  // Nothing to go back or forward to before the first page.
  btnBack->setEnabled(false);
  btnForward->setEnabled(false);
  clientColumn->addWidget(CoolBar1);

  WebBrowser1 = new TWebBrowser(centralWidget());
  clientColumn->addWidget(WebBrowser1, 1);
  connect(WebBrowser1, &TWebBrowser::TitleChange, this, &SetApplicationTitle);
  connect(WebBrowser1, &TWebBrowser::NewWindow, this, &TfrmMain::WebBrowser1NewWindow);
  connect(WebBrowser1, &TWebBrowser::WindowClosing, this, &TfrmMain::CloseApplication);
  // "Stay" ends the close; "Leave" comes back as the page's close request.
  connect(WebBrowser1->Dialogs(), &TPageDialogs::OpenChanged, this, [this](bool open) {
    if (!open)
      closeAsked = false;
  });
  // The splash stays on top of every window: it would cover the box's buttons.
  connect(WebBrowser1->Dialogs(), &TPageDialogs::Opening, this, &TfrmMain::EndSplash);

  CreateStatusBar();

  CreateTrayMenu();
  btnMenu->setMenu(mnuTray);
  KeepToolBandWhole();

  tmrCloseSplash = new QTimer(this);
  tmrCloseSplash->setObjectName("tmrCloseSplash");
  connect(tmrCloseSplash, &QTimer::timeout, this, &TfrmMain::tmrCloseSplashTimer);

  // A tray may appear after the start, and go away again (a panel restarts): watched all along.
  tmrTray = new QTimer(this);
  tmrTray->setObjectName("tmrTray");
  tmrTray->setInterval(500);
  connect(tmrTray, &QTimer::timeout, this, &TfrmMain::WatchTray);

  connect(this, &TfrmMain::newWindowRequested, this,
          [this](QWebEngineNewWindowRequest &request, const QString &homeAddress) {
            OpenPopupBrowser(request, homeAddress, PopupArea());
          });
  // Pop-ups and dialogs closing while this window sits in the tray must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);

  serverNote = new QLabel(StatusBar1);
  serverNote->setObjectName("StatusBar1_ServerNote");
  serverNote->setStyleSheet("QLabel { color: #b00000; }");
  serverNote->hide();
  StatusBar1->insertWidget(0, serverNote);

  AttachChrome();
}

TfrmMain::~TfrmMain()
{
  UpdateTrayIcon(false);
  if (stack.stopServers)
    stack.stopServers();
}

void TfrmMain::AddFavoritesAndRebrand()
{
  QAction *separator = tlbToolbar->addSeparator();
  // ToolButton1: the separator before Favorites, named as the form names it.
  tlbToolbar->widgetForAction(separator)->setObjectName("ToolButton1");
  QStyle *look = style();
  QToolButton *btnFavorites =
      AddToolButton("btnFavorites", "Favorites", look->standardIcon(QStyle::SP_DirIcon));
  btnFavorites->setMenu(mnuMenu);
  btnFavorites->setPopupMode(QToolButton::MenuButtonPopup);
  QToolButton *btnBrand = AddToolButton("btnBrand", "Rebrand", look->standardIcon(QStyle::SP_DirIcon));
  // Both also in the tray menu; here too, since a desktop without a tray shows no tray menu.
  QToolButton *btnTerminal =
      AddToolButton("btnTerminal", "Terminal", look->standardIcon(QStyle::SP_ComputerIcon));
  QToolButton *btnLogs =
      AddToolButton("btnLogs", "Logs", look->standardIcon(QStyle::SP_FileDialogContentsView));
  connect(btnFavorites, &QToolButton::clicked, this, [this] { RunCommand([this] { OrganizeFavorites(); }); });
  connect(btnBrand, &QToolButton::clicked, this, [this] { RunCommand([this] { emit rebrandRequested(); }); });
  connect(btnTerminal, &QToolButton::clicked, this, [this] { RunCommand([this] { OpenTerminal(); }); });
  connect(btnLogs, &QToolButton::clicked, this, [this] { RunCommand([this] { ShowLogs(); }); });

  // Without a tray the tray menu's commands are here, at the end of the tool bar.
  btnMenu = AddToolButton("btnMenu", "Menu", look->standardIcon(QStyle::SP_FileDialogDetailedView));
  btnMenu->setPopupMode(QToolButton::InstantPopup);
}

void TfrmMain::CreateTrayMenu()
{
  mnuTray = new QMenu(this);
  mnuTray->setObjectName("mnuTray");
  auto add = [this](const char *name, const QString &caption) {
    QAction *item = mnuTray->addAction(caption);
    item->setObjectName(name);
    return item;
  };
  auto separator = [this](const char *name) { mnuTray->addSeparator()->setObjectName(name); };

  QAction *show = add("mnuTray_Show", "&Show/Hide Main Window");
  mnuTray->setDefaultAction(show);
  separator("mnuTray_Separator0");
  mnuTray_DownSize = add("mnuTray_DownSize", "&Down Size...");
  mnuTray_Settings = add("mnuTray_Settings", "Server S&ettings...");
  QAction *terminal = add("mnuTray_Terminal", "&Terminal");
  QAction *logs = add("mnuTray_Logs", "&Logs...");
  QAction *clearData = add("mnuTray_ClearBrowsingData", "Clear &Browsing Data...");
  separator("mnuTray_Separator1");
  QAction *help = add("mnuTray_Help", "&Help Contents");
  QAction *email = add("mnuTray_Email", "&Contact Us");
  QAction *website = add("mnuTray_Website", "&Visit Website");
  QAction *about = add("mnuTray_About", "&About...");
  QAction *desktopEntry = add("mnuTray_DesktopEntry", "Add to Applications &Menu");
  separator("mnuTray_Separator2");
  QAction *exit = add("mnuTray_Exit", "E&xit");

  auto command = [this](QAction *item, const std::function<void()> &handler) {
    connect(item, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
  };
  command(show, [this] { ToggleMainWindow(); });
  command(mnuTray_DownSize, [this] { emit downSizeRequested(); });
  command(mnuTray_Settings, [this] { emit settingsRequested(); });
  command(terminal, [this] { OpenTerminal(); });
  command(logs, [this] { ShowLogs(); });
  command(clearData, [this] { ClearBrowsingData(); });
  command(help, [this] { mnuTray_HelpClick(); });
  command(email, &OpenContactMail);
  command(website, [this] { mnuTray_WebsiteClick(); });
  command(about, [this] { mnuTray_AboutClick(); });
  command(desktopEntry, [this] { emit desktopEntryRequested(); });
  command(exit, [this] { RequestClose(); });
}

QString TfrmMain::LocalAddress() const
{
  return QString("http://127.0.0.1:%1").arg(ApachePort);
}

TPopupArea TfrmMain::PopupArea() const
{
  const QScreen *where = screen() ? screen() : QGuiApplication::primaryScreen();
  // The frame this window manager puts around this window; none while full screen or unframed.
  const QRect frame = frameGeometry();
  const QRect client = geometry();
  const QMargins decoration(client.left() - frame.left(), client.top() - frame.top(),
                            frame.right() - client.right(), frame.bottom() - client.bottom());
  return {where->geometry(), where->availableGeometry(), decoration};
}

void TfrmMain::ApplyTitle(const QString &appName, const QIcon &icon)
{
  AppName = appName;
  MainIcon = icon;
  SetApplicationTitle(appName);
  setWindowTitle(appName);
  setWindowState(Qt::WindowMaximized);
}

void TfrmMain::ApplyBranding(const TStartupInfo &info)
{
  mnuTray_DownSize->setEnabled(!info.isCdRom);
  mnuTray_Settings->setEnabled(!info.isCdRom);

  if (info.brand) {
    // A tool bar shows or hides its widgets through their actions.
    for (QAction *entry : tlbToolbar->actions())
      if (const QWidget *widget = tlbToolbar->widgetForAction(entry);
          widget != nullptr && ToolbarEntriesHiddenWhenBranded.contains(widget->objectName()))
        entry->setVisible(false);
    HideMenuItems(mnuTray, TrayItemsHiddenWhenBranded);
  }

  SetDeveloperToolsAllowed(info.developerTools);
  ShowTrayIcon = info.showTrayIcon;
  ShowToolbar = info.showToolbar;
  ShowStatusBar = info.showStatusBar;
  CoolBar1->setVisible(ShowToolbar);
  StatusBar1->setVisible(ShowStatusBar || !serverNote->text().isEmpty());
  KeepToolBandWhole();
}

void TfrmMain::KeepToolBandWhole()
{
  tlbToolbar->setMinimumWidth(tlbToolbar->sizeHint().width());
}

void TfrmMain::ShowServerNote(const QString &note)
{
  if (note == serverNote->text())
    return;
  serverNote->setText(note);
  serverNote->setVisible(!note.isEmpty());
  // Full screen hides the bars; leaving it shows the note again.
  if (!(windowFlags() & Qt::FramelessWindowHint))
    StatusBar1->setVisible(ShowStatusBar || !note.isEmpty());
}

void TfrmMain::BeginWarmUp()
{
  setAttribute(Qt::WA_DontShowOnScreen, true);
  show();
}

void TfrmMain::EndWarmUp()
{
  if (!testAttribute(Qt::WA_DontShowOnScreen))
    return;
  hide();
  setAttribute(Qt::WA_DontShowOnScreen, false);
}

void TfrmMain::CompleteStartup(const TStartupInfo &info)
{
  ApachePort = info.apachePort;
  SplashProcessId = info.splashProcessId;

  FavoritesPath = LoadFavorites(info.favoritesFile);
  ApplyBranding(info);

  ClearProgress();

  WebBrowser1->SetSilent(true);

  PauseWithEvents(std::chrono::milliseconds(60));

  EndWarmUp();
  cboAddress->setEditText(LocalAddress());
  GoToAddress();

  if (info.fullScreen)
    EnterFullScreen();

  if (isVisible()) {
    raise();
    activateWindow();
  }
  Started = true;
  PutUpTrayIcon();
}

void TfrmMain::ShowNotice(const QString &text)
{
  // Long enough to be read after the first page; the page's own status text takes over after.
  constexpr int NoticeMilliseconds = 30000;
  StatusBar1->showMessage(text, NoticeMilliseconds);
}

void TfrmMain::PutUpTrayIcon()
{
  UpdateTrayIcon(ShowTrayIcon);
  if (ShowTrayIcon)
    tmrTray->start();
  UpdateWindowMenu();
}

void TfrmMain::KeepRunningInTray()
{
  // The only way out is the tray's Exit, so the icon is there whatever "trayicon" says.
  ShowTrayIcon = true;
  keptInTray = true;
  PutUpTrayIcon();
}

void TfrmMain::WatchTray()
{
  if (TrayIconMan && !QSystemTrayIcon::isSystemTrayAvailable()) {
    // The tray went away (its panel ended): a hidden window would be out of reach.
    delete TrayIconMan;
    TrayIconMan = nullptr;
    if (Started && !keptInTray && !shuttingDown && isHidden())
      ShowMainWindow(true);
  }
  UpdateTrayIcon(ShowTrayIcon);
  UpdateWindowMenu();
}

void TfrmMain::UpdateWindowMenu()
{
  const bool trayShown = TrayIconMan != nullptr;
  for (QAction *entry : tlbToolbar->actions())
    if (tlbToolbar->widgetForAction(entry) == btnMenu)
      entry->setVisible(!trayShown);
  // Show/Hide needs an icon to come back by; with an external browser there is no window at all.
  for (QAction *item : mnuTray->actions())
    if (TrayItemsHiddenWhenKeptInTray.contains(item->objectName()))
      item->setVisible(trayShown && !keptInTray);
  KeepToolBandWhole();
}

void TfrmMain::BeginShutdown()
{
  shuttingDown = true;
  TPageDialogs::CloseAll();
  frmLogs.reset();
  hide();
  UpdateTrayIcon(false);
  QApplication::processEvents();
}

void TfrmMain::UpdateTrayIcon(bool enable)
{
  if (!enable) {
    tmrTray->stop();
    if (TrayIconMan) {
      delete TrayIconMan;
      TrayIconMan = nullptr;
      trayFinished = true;
    }
    return;
  }
  if (TrayIconMan || trayFinished || !QSystemTrayIcon::isSystemTrayAvailable())
    return;
  TrayIconMan = new TTrayIconMan(this);
  TrayIconMan->AddIcon(
      MainIcon, AppName, [this] { RunCommand([this] { ToggleMainWindow(); }); }, mnuTray);
}

void TfrmMain::HideToTrayIfMinimised()
{
  // Only with an icon to come back by: without one the window would be out of reach.
  if (!(Started && ShowTrayIcon && TrayIconMan && QSystemTrayIcon::isSystemTrayAvailable() && isMinimized() &&
        isVisible()))
    return;
  // Withdrawn while still iconic, the window would be iconified again by the window manager when it
  // is next shown.
  setWindowState(windowState() & ~Qt::WindowMinimized);
  ShowMainWindow(false);
}

void TfrmMain::EnterFullScreen()
{
  if (windowFlags() & Qt::FramelessWindowHint)
    return;
  const bool wasVisible = isVisible();
  CoolBar1->hide();
  StatusBar1->hide();
  setWindowFlag(Qt::FramelessWindowHint, true);
  setGeometry(screen()->geometry());
  setWindowState(Qt::WindowFullScreen);
  if (wasVisible)
    show();
}

void TfrmMain::ExitFullScreen()
{
  if (!(windowFlags() & Qt::FramelessWindowHint))
    return;
  const bool wasVisible = isVisible();
  setWindowFlag(Qt::FramelessWindowHint, false);
  setWindowState(Qt::WindowMaximized);
  CoolBar1->setVisible(ShowToolbar);
  StatusBar1->setVisible(ShowStatusBar || !serverNote->text().isEmpty());
  if (wasVisible)
    show();
}

void TfrmMain::ToggleFullScreen()
{
  if (windowFlags() & Qt::FramelessWindowHint)
    ExitFullScreen();
  else
    EnterFullScreen();
}

void TfrmMain::CloseApplication()
{
  // A page's open boxes would hold the program in their waits, and a page looping on them would
  // open the next one: all go now, and no new one shows.
  TPageDialogs::CloseAll();
  QCoreApplication::exit(0);
}

void TfrmMain::ShowMainWindow(bool show)
{
  if (!show) {
    hide();
    return;
  }
  setWindowState(windowState() & ~Qt::WindowMinimized);
  QMainWindow::show();
  raise();
  activateWindow();
}

void TfrmMain::RunCommand(const std::function<void()> &command)
{
  if (commandRunning || shuttingDown)
    return;
  commandRunning = true;
  mnuTray->setEnabled(false);
  struct TCommandEnd {
    TfrmMain *form;
    ~TCommandEnd()
    {
      form->mnuTray->setEnabled(true);
      form->commandRunning = false;
    }
  } end{this};
  // A command that fails says why here and ends; the window goes on.
  try {
    command();
  } catch (const std::exception &error) {
    ShowErrorReport(QString::fromStdString(error.what()));
  }
}

void TfrmMain::ToggleMainWindow()
{
  ShowMainWindow(isHidden());
}

void TfrmMain::SetTrayNotifications(bool enabled)
{
  if (TrayIconMan)
    TrayIconMan->SetNotifications(enabled);
  emit trayNotificationsChanged(enabled);
}

bool TfrmMain::event(QEvent *event)
{
  // Activation starts the timer that closes the splash once the first page is complete. Showing
  // starts it too: a window manager need not activate a new window, and the splash must go anyway.
  if ((event->type() == QEvent::WindowActivate || event->type() == QEvent::Show) && SplashProcessId != 0) {
    tmrCloseSplash->setInterval(1);
    tmrCloseSplash->start();
  }
  if (event->type() == QEvent::WindowStateChange)
    QTimer::singleShot(0, this, &TfrmMain::HideToTrayIfMinimised);
  return QMainWindow::event(event);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
  // The window stays until the page has let it go.
  event->ignore();
  RequestClose();
}

void TfrmMain::RequestClose()
{
  TPageDialogs *dialogs = WebBrowser1->Dialogs();
  // A page that holds a box open or does not answer has nothing to say about its end.
  if (shuttingDown || dialogs->Open() || WebBrowser1->Watch()->NotAnswering()) {
    CloseApplication();
    return;
  }
  closeAsked = true;
  // Without a beforeunload handler the page agrees at once, and windowCloseRequested ends the
  // program; with one, its box asks.
  WebBrowser1->page()->triggerAction(QWebEnginePage::RequestClose);
  QTimer::singleShot(UnloadAnswerLimit, this, [this] {
    if (closeAsked && !WebBrowser1->Dialogs()->Open())
      CloseApplication();
  });
}

void TfrmMain::WebBrowser1NewWindow(QWebEngineNewWindowRequest &request)
{
  emit newWindowRequested(request, LocalAddress());
}

void TfrmMain::tmrCloseSplashTimer()
{
  if (WebBrowser1->Busy() || WebBrowser1->ReadyState() != TWebBrowser::READYSTATE_COMPLETE)
    return;
  TraceMark("first page complete, splash closed");
  EndSplash();
}

void TfrmMain::EndSplash()
{
  tmrCloseSplash->stop();
  if (SplashProcessId != 0 && stack.endSplash)
    stack.endSplash();
  // Never end it again: the id may be reused by another process.
  SplashProcessId = 0;
}

void TfrmMain::mnuTray_HelpClick()
{
  const bool localHelp = RegularFileExists(GetAppPath() + "www/help/index.php");
  cboAddress->setEditText(localHelp ? LocalAddress() + "/help" : Vendor::Website);
  ShowMainWindow(true);
  GoToAddress();
}

void TfrmMain::ClearBrowsingData()
{
  const TQuietTray quiet(*this);
  if (ShowMessageBox(ConfirmationText, ConfirmationFlags) != IDYES)
    return;
  BrowserProfile::Clear();
  ShowMessageBox("Cookies and the cache are cleared. The sites' stored data is removed at the next start.",
                 MB_OK | MB_ICONINFORMATION);
}

void TfrmMain::OpenTerminal()
{
  if (!stack.openTerminal)
    return;
  try {
    stack.openTerminal();
  } catch (const std::runtime_error &error) {
    ShowMessageBox(QString::fromStdString(error.what()), MB_OK | MB_ICONERROR);
  }
}

void TfrmMain::ShowLogs()
{
  if (!stack.runLogs)
    return;
  if (!frmLogs)
    frmLogs = std::make_unique<TfrmLogs>(stack.runLogs());
  frmLogs->ShowLogs();
}

void TfrmMain::mnuTray_WebsiteClick()
{
  ShowMainWindow(true);
  cboAddress->setEditText(Vendor::Website);
  GoToAddress();
}

void TfrmMain::mnuTray_AboutClick()
{
  const TQuietTray quiet(*this);
  TfrmAbout about(MainIcon);
  about.ProductTitle = AppName;
  about.Version = CorvalaVersion;
  about.Year = "2010";
  about.exec();
}

std::string TfrmMain::LoadFavorites(const std::string &file)
{
  const std::string path = FavoritesFilePath(file);
  if (path.empty())
    return {};
  const TFavoriteKeys keys = ReadFavoriteKeys(path);
  auto addItems = [this](const TStringArray &captions, void (TfrmMain::*handler)(const QString &)) {
    mnuMenu->addSeparator();
    for (const std::string &caption : captions) {
      if (caption == "-") {
        mnuMenu->addSeparator();
        continue;
      }
      QAction *item = mnuMenu->addAction(QString::fromStdString(caption));
      connect(item, &QAction::triggered, this, [this, item, handler] { (this->*handler)(item->text()); });
    }
  };
  addItems(keys.folders, &TfrmMain::OpenFavoriteFolder);
  addItems(keys.addresses, &TfrmMain::OpenFavoriteAddress);
  return path;
}

void TfrmMain::OpenFavoriteFolder(const QString &caption)
{
  if (!FileExists(FavoritesPath))
    return;
  const std::string folder = FavoriteFolder(FavoritesPath, caption.toStdString());
  if (!folder.empty() && DirectoryExists(folder))
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

void TfrmMain::OpenFavoriteAddress(const QString &caption)
{
  if (!FileExists(FavoritesPath))
    return;
  cboAddress->setEditText(
      QString::fromStdString(FavoriteAddress(FavoritesPath, caption.toStdString(), ApachePort)));
  GoToAddress();
}

void TfrmMain::OrganizeFavorites()
{
  if (!FileExists(FavoritesPath))
    return;
  FavoritesPath = FavoritesFilePath(FavoritesPath);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(FavoritesPath)));
}
