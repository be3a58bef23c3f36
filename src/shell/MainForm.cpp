#include "shell/MainForm.h"

#include "shell/AboutForm.h"
#include "shell/BrowserForm.h"
#include "shell/ExitWatch.h"
#include "shell/Favorites.h"
#include "shell/TrayIconMan.h"
#include "shell/Trim.h"
#include "shell/Vendor.h"
#include "shell/WebBrowser.h"
#include "utils/Paths.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace AppUtils;

namespace
{

constexpr int MaxHistoryItems = 24;
constexpr int VisibleToolButtonsWhenBranded = 5;

QFont Tahoma8()
{
  QFont font("Tahoma");
  font.setPointSize(8);
  return font;
}

void SetLowered(QLabel *panel, bool lowered)
{
  panel->setFrameStyle(lowered ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
}

} // namespace

TfrmMain::TfrmMain(TStackHooks hooks, QWidget *parent) : QMainWindow(parent), stack(std::move(hooks))
{
  setObjectName("frmMain");
  setFont(Tahoma8());
  resize(632, 453);

  auto *client = new QWidget(this);
  auto *column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  setCentralWidget(client);

  mnuMenu = new QMenu(this);
  mnuMenu->setObjectName("mnuMenu");
  QAction *organize = mnuMenu->addAction("Organize Favorites...");
  organize->setObjectName("mnuMenu_OrganizeFavorites");
  mnuMenu->setDefaultAction(organize);
  connect(organize, &QAction::triggered, this, &TfrmMain::OrganizeFavorites);

  CreateToolBand();
  column->addWidget(CoolBar1);

  WebBrowser1 = new TWebBrowser(client);
  column->addWidget(WebBrowser1, 1);
  connect(WebBrowser1, &TWebBrowser::TitleChange, this, &TfrmMain::WebBrowser1TitleChange);
  connect(WebBrowser1, &TWebBrowser::CommandStateChange, this, &TfrmMain::WebBrowser1CommandStateChange);
  connect(WebBrowser1, &TWebBrowser::ProgressChange, this, &TfrmMain::WebBrowser1ProgressChange);
  connect(WebBrowser1, &TWebBrowser::NewWindow, this, &TfrmMain::WebBrowser1NewWindow);
  connect(WebBrowser1, &TWebBrowser::WindowClosing, this, &TfrmMain::CloseApplication);

  CreateStatusBar();
  connect(WebBrowser1, &TWebBrowser::StatusTextChange, statusPanels[0], &QLabel::setText);

  CreateTrayMenu();

  tmrCloseSplash = new QTimer(this);
  tmrCloseSplash->setObjectName("tmrCloseSplash");
  connect(tmrCloseSplash, &QTimer::timeout, this, &TfrmMain::tmrCloseSplashTimer);

  // A tray may appear after the start: looked for until the icon is up.
  tmrTray = new QTimer(this);
  tmrTray->setObjectName("tmrTray");
  tmrTray->setInterval(500);
  connect(tmrTray, &QTimer::timeout, this, [this] { UpdateTrayIcon(ShowTrayIcon); });

  connect(this, &TfrmMain::newWindowRequested, this, &OpenPopupBrowser);
  // Pop-ups and dialogs closing while this window sits in the tray must not end the program.
  QApplication::setQuitOnLastWindowClosed(false);

  // Key preview: F5 refreshes wherever the focus is in this window, the page included.
  qApp->installEventFilter(this);
}

TfrmMain::~TfrmMain()
{
  qApp->removeEventFilter(this);
  UpdateTrayIcon(false);
  if (stack.stopServers)
    stack.stopServers();
}

QToolButton *TfrmMain::AddToolButton(const char *name, const QString &caption, const QIcon &image)
{
  auto *button = new QToolButton(tlbToolbar);
  button->setObjectName(name);
  button->setText(caption);
  button->setIcon(image);
  button->setIconSize(QSize(32, 32));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  button->setMinimumSize(52, 52);
  toolButtons.push_back(tlbToolbar->addWidget(button));
  return button;
}

void TfrmMain::CreateToolBand()
{
  CoolBar1 = new QFrame(this);
  CoolBar1->setObjectName("CoolBar1");
  CoolBar1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  auto *band = new QVBoxLayout(CoolBar1);
  band->setContentsMargins(0, 0, 0, 0);

  auto *pnlToolbar = new QWidget(CoolBar1);
  pnlToolbar->setObjectName("pnlToolbar");
  pnlToolbar->setMinimumHeight(52);
  band->addWidget(pnlToolbar);
  auto *row = new QHBoxLayout(pnlToolbar);
  row->setContentsMargins(0, 0, 4, 0);
  row->setSpacing(0);

  tlbToolbar = new QToolBar(pnlToolbar);
  tlbToolbar->setObjectName("tlbToolbar");
  tlbToolbar->setIconSize(QSize(32, 32));
  QStyle *look = style();
  btnBack = AddToolButton("btnBack", "Back", look->standardIcon(QStyle::SP_ArrowBack));
  btnForward = AddToolButton("btnForward", "Forward", look->standardIcon(QStyle::SP_ArrowForward));
  QToolButton *btnRefresh =
      AddToolButton("btnRefresh", "Refresh", look->standardIcon(QStyle::SP_BrowserReload));
  QToolButton *btnStop = AddToolButton("btnStop", "Stop", look->standardIcon(QStyle::SP_BrowserStop));
  QToolButton *btnHome = AddToolButton("btnHome", "Home", look->standardIcon(QStyle::SP_DirHomeIcon));
  QAction *separator = tlbToolbar->addSeparator();
  tlbToolbar->widgetForAction(separator)->setObjectName("ToolButton1");
  toolButtons.push_back(separator);
  btnFavorites = AddToolButton("btnFavorites", "Favorites", look->standardIcon(QStyle::SP_DirIcon));
  btnFavorites->setMenu(mnuMenu);
  btnFavorites->setPopupMode(QToolButton::MenuButtonPopup);
  QToolButton *btnBrand = AddToolButton("btnBrand", "Rebrand", look->standardIcon(QStyle::SP_DirIcon));
  // Nothing to go back or forward to before the first page.
  btnBack->setEnabled(false);
  btnForward->setEnabled(false);
  row->addWidget(tlbToolbar);
  row->addSpacing(8);

  cboAddress = new QComboBox(pnlToolbar);
  cboAddress->setObjectName("cboAddress");
  cboAddress->setEditable(true);
  cboAddress->setInsertPolicy(QComboBox::NoInsert);
  cboAddress->setCompleter(nullptr);
  cboAddress->setMaxVisibleItems(8);
  cboAddress->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  cboAddress->installEventFilter(this);
  cboAddress->lineEdit()->installEventFilter(this);
  row->addWidget(cboAddress, 1, Qt::AlignVCenter);
  row->addSpacing(4);

  auto *tlbGo = new QToolBar(pnlToolbar);
  tlbGo->setObjectName("tlbGo");
  tlbGo->setIconSize(QSize(20, 20));
  auto *btnGo = new QToolButton(tlbGo);
  btnGo->setObjectName("btnGo");
  btnGo->setText("Go");
  btnGo->setIcon(look->standardIcon(QStyle::SP_ArrowRight));
  btnGo->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  btnGo->setAutoRaise(true);
  btnGo->setFixedSize(51, 26);
  tlbGo->addWidget(btnGo);
  row->addWidget(tlbGo, 0, Qt::AlignVCenter);

  connect(btnBack, &QToolButton::clicked, this,
          [this] { IgnoringErrors([this] { WebBrowser1->GoBack(); }); });
  connect(btnForward, &QToolButton::clicked, this,
          [this] { IgnoringErrors([this] { WebBrowser1->GoForward(); }); });
  connect(btnRefresh, &QToolButton::clicked, this,
          [this] { IgnoringErrors([this] { WebBrowser1->Refresh(); }); });
  connect(btnStop, &QToolButton::clicked, this, [this] { IgnoringErrors([this] { WebBrowser1->Stop(); }); });
  connect(btnHome, &QToolButton::clicked, this, &TfrmMain::btnHomeClick);
  connect(btnFavorites, &QToolButton::clicked, this, &TfrmMain::OrganizeFavorites);
  connect(btnBrand, &QToolButton::clicked, this, &TfrmMain::rebrandRequested);
  connect(btnGo, &QToolButton::clicked, this, &TfrmMain::GoToAddress);
  connect(cboAddress, &QComboBox::activated, this, &TfrmMain::GoToAddress);
  connect(cboAddress, &QComboBox::editTextChanged, this, &TfrmMain::cboAddressChange);
}

void TfrmMain::CreateStatusBar()
{
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setFont(Tahoma8());
  for (int index = 0; index < 3; ++index) {
    statusPanels[index] = new QLabel(StatusBar1);
    statusPanels[index]->setObjectName(QString("StatusBar1_Panel%1").arg(index));
  }
  statusPanels[1]->setFixedWidth(200);
  statusPanels[2]->setFixedWidth(80);
  StatusBar1->addWidget(statusPanels[0], 1);
  StatusBar1->addPermanentWidget(statusPanels[1]);
  StatusBar1->addPermanentWidget(statusPanels[2]);
  setStatusBar(StatusBar1);

  // The progress bar lies over panel 1 and follows it.
  ProgressBar1 = new QProgressBar(StatusBar1);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  statusPanels[1]->installEventFilter(this);
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
  separator("mnuTray_Separator1");
  QAction *help = add("mnuTray_Help", "&Help Contents");
  QAction *email = add("mnuTray_Email", "&Contact Us");
  QAction *website = add("mnuTray_Website", "&Visit Website");
  QAction *about = add("mnuTray_About", "&About...");
  separator("mnuTray_Separator2");
  QAction *exit = add("mnuTray_Exit", "E&xit");

  connect(show, &QAction::triggered, this, &TfrmMain::ToggleMainWindow);
  connect(mnuTray_DownSize, &QAction::triggered, this, &TfrmMain::downSizeRequested);
  connect(mnuTray_Settings, &QAction::triggered, this, &TfrmMain::settingsRequested);
  connect(help, &QAction::triggered, this, &TfrmMain::mnuTray_HelpClick);
  connect(email, &QAction::triggered, this, &OpenContactMail);
  connect(website, &QAction::triggered, this, &TfrmMain::mnuTray_WebsiteClick);
  connect(about, &QAction::triggered, this, &TfrmMain::mnuTray_AboutClick);
  connect(exit, &QAction::triggered, this, &TfrmMain::CloseApplication);
}

template <typename Command> void TfrmMain::IgnoringErrors(Command command)
{
  try {
    command();
  } catch (...) {
  }
}

QString TfrmMain::LocalAddress() const
{
  return QString("http://127.0.0.1:%1").arg(ApachePort);
}

void TfrmMain::ApplyTitle(const QString &appName, const QIcon &icon)
{
  AppName = appName;
  MainIcon = icon;
  // The application title first, so the window's title is not decorated with an older one.
  QGuiApplication::setApplicationDisplayName(appName);
  setWindowTitle(appName);
  setWindowIcon(icon);
  setWindowState(Qt::WindowMaximized);
}

void TfrmMain::CompleteStartup(const TStartupInfo &info)
{
  ApachePort = info.apachePort;
  SplashProcessId = info.splashProcessId;

  FavoritesPath = LoadFavorites(info.favoritesFile);

  mnuTray_DownSize->setEnabled(!info.isCdRom);
  mnuTray_Settings->setEnabled(!info.isCdRom);

  if (info.brand) {
    for (size_t index = toolButtons.size(); index-- > VisibleToolButtonsWhenBranded;)
      toolButtons[index]->setVisible(false);
    // What stays of the tray menu: Show/Hide, the separator after it, and Exit.
    const QList<QAction *> items = mnuTray->actions();
    for (qsizetype index = items.size() - 2; index >= 2; --index)
      items[index]->setVisible(false);
  }

  ShowTrayIcon = info.showTrayIcon;
  ShowToolbar = info.showToolbar;
  ShowStatusBar = info.showStatusBar;
  CoolBar1->setVisible(ShowToolbar);
  StatusBar1->setVisible(ShowStatusBar);

  SetLowered(statusPanels[1], true);
  ProgressBar1->hide();

  WebBrowser1->SetSilent(true);

  QApplication::processEvents();
  QThread::msleep(60);

  cboAddress->setEditText(LocalAddress());
  GoToAddress();

  if (info.fullScreen)
    EnterFullScreen();

  if (isVisible()) {
    raise();
    activateWindow();
  }
  Started = true;
  WatchTrayAndExit();
}

void TfrmMain::WatchTrayAndExit()
{
  UpdateTrayIcon(ShowTrayIcon);
  if (ShowTrayIcon && !TrayIconMan)
    tmrTray->start();
  exitWatch = new TExitWatch(GetProgramPath(), 1000, this);
  connect(exitWatch, &TExitWatch::exitRequested, this, &TfrmMain::CloseApplication);
  connect(qApp, &QGuiApplication::commitDataRequest, this, &TfrmMain::CloseApplication);
}

void TfrmMain::UpdateTrayIcon(bool enable)
{
  if (!enable) {
    tmrTray->stop();
    if (TrayIconMan) {
      IgnoringErrors([this] { delete TrayIconMan; });
      TrayIconMan = nullptr;
      trayFinished = true;
    }
    return;
  }
  if (TrayIconMan || trayFinished || !QSystemTrayIcon::isSystemTrayAvailable())
    return;
  TrayIconMan = new TTrayIconMan(this);
  TrayIconMan->AddIcon(
      MainIcon, AppName, [this] { ToggleMainWindow(); }, mnuTray);
  tmrTray->stop();
}

void TfrmMain::HideToTrayIfMinimised()
{
  // Only with an icon to come back by: without one the window would be out of reach.
  if (!(Started && ShowTrayIcon && TrayIconMan && isMinimized() && isVisible()))
    return;
  // Withdrawn while still iconic, the window would be iconified again by the window manager when it
  // is next shown.
  setWindowState(windowState() & ~Qt::WindowMinimized);
  ShowMainWindow(false);
}

void TfrmMain::GoToAddress()
{
  WebBrowser1->Navigate(QString::fromStdString(TrimBlanks(cboAddress->currentText().toStdString())));
}

void TfrmMain::EnterFullScreen()
{
  if (windowFlags() & Qt::FramelessWindowHint)
    return;
  IgnoringErrors([this] {
    const bool wasVisible = isVisible();
    CoolBar1->hide();
    StatusBar1->hide();
    setWindowFlag(Qt::FramelessWindowHint, true);
    setGeometry(screen()->geometry());
    setWindowState(Qt::WindowFullScreen);
    if (wasVisible)
      show();
  });
}

void TfrmMain::ExitFullScreen()
{
  if (!(windowFlags() & Qt::FramelessWindowHint))
    return;
  IgnoringErrors([this] {
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::FramelessWindowHint, false);
    setWindowState(Qt::WindowMaximized);
    CoolBar1->setVisible(ShowToolbar);
    StatusBar1->setVisible(ShowStatusBar);
    if (wasVisible)
      show();
  });
}

void TfrmMain::CloseApplication()
{
  IgnoringErrors([] { QCoreApplication::exit(0); });
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
  // Activation starts the timer that closes the splash once the first page is complete.
  if (event->type() == QEvent::WindowActivate && SplashProcessId != 0) {
    tmrCloseSplash->setInterval(1);
    tmrCloseSplash->start();
  }
  if (event->type() == QEvent::WindowStateChange)
    QTimer::singleShot(0, this, &TfrmMain::HideToTrayIfMinimised);
  return QMainWindow::event(event);
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
  CloseApplication();
  event->accept();
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == statusPanels[1] && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
    PlaceProgressBar();
  if (event->type() != QEvent::KeyPress)
    return QMainWindow::eventFilter(watched, event);

  const int key = static_cast<QKeyEvent *>(event)->key();
  if (watched == cboAddress || watched == cboAddress->lineEdit()) {
    if (cboAddressKeyDown(key))
      return true;
  }
  auto *widget = qobject_cast<QWidget *>(watched);
  if (key == Qt::Key_F5 && widget && widget->window() == this) {
    IgnoringErrors([this] { WebBrowser1->Refresh(); });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmMain::PlaceProgressBar()
{
  ProgressBar1->setGeometry(statusPanels[1]->geometry());
  ProgressBar1->raise();
}

bool TfrmMain::cboAddressKeyDown(int key)
{
  const int index = cboAddress->currentIndex();
  switch (key) {
  case Qt::Key_Up:
  case Qt::Key_Left:
    if (index > 0) {
      cboAddress->setCurrentIndex(index - 1);
      return true;
    }
    return false;
  case Qt::Key_Down:
  case Qt::Key_Right:
    if (index < cboAddress->count() - 1) {
      cboAddress->setCurrentIndex(index + 1);
      return true;
    }
    return false;
  case Qt::Key_Return:
  case Qt::Key_Enter:
    GoToAddress();
    return true;
  default:
    return false;
  }
}

void TfrmMain::cboAddressChange(const QString &text)
{
  if (text.isEmpty())
    cboAddress->setCurrentIndex(-1);
}

void TfrmMain::WebBrowser1TitleChange(const QString &text)
{
  QGuiApplication::setApplicationDisplayName(text);
  setWindowTitle(text);

  const QString address = QString::fromStdString(TrimBlanks(WebBrowser1->LocationURL().toStdString()));
  if (address.isEmpty())
    return;
  int match = -1;
  for (int index = 0; index < cboAddress->count() && match < 0; ++index)
    if (cboAddress->itemText(index) == address)
      match = index;
  if (match < 0) {
    cboAddress->insertItem(0, style()->standardIcon(QStyle::SP_FileLinkIcon), address);
    if (cboAddress->count() > MaxHistoryItems)
      cboAddress->removeItem(cboAddress->count() - 1);
  }
  cboAddress->setCurrentIndex(match < 0 ? 0 : match);
}

void TfrmMain::WebBrowser1CommandStateChange(int command, bool enable)
{
  if (command == TWebBrowser::CSC_NAVIGATEFORWARD)
    btnForward->setEnabled(enable);
  else if (command == TWebBrowser::CSC_NAVIGATEBACK)
    btnBack->setEnabled(enable);
}

void TfrmMain::WebBrowser1ProgressChange(int progress, int progressMax)
{
  SetLowered(statusPanels[1], progress <= 0);
  ProgressBar1->setVisible(progress > 0);
  ProgressBar1->setMinimum(0);
  ProgressBar1->setMaximum(progressMax);
  ProgressBar1->setValue(progress);
}

void TfrmMain::WebBrowser1NewWindow(QWebEngineNewWindowRequest &request)
{
  IgnoringErrors([&] { emit newWindowRequested(request, LocalAddress()); });
}

void TfrmMain::btnHomeClick()
{
  IgnoringErrors([this] {
    cboAddress->setEditText(LocalAddress());
    GoToAddress();
  });
}

void TfrmMain::tmrCloseSplashTimer()
{
  if (WebBrowser1->Busy() || WebBrowser1->ReadyState() != TWebBrowser::READYSTATE_COMPLETE)
    return;
  tmrCloseSplash->stop();
  if (SplashProcessId != 0 && stack.killProcess)
    IgnoringErrors([this] { stack.killProcess(SplashProcessId); });
  // Never kill again: the id may be reused by another process.
  SplashProcessId = 0;
}

void TfrmMain::mnuTray_HelpClick()
{
  const bool localHelp = FileExists(GetAppPath() + "www/help/index.php");
  cboAddress->setEditText(localHelp ? LocalAddress() + "/help" : Vendor::Website);
  ShowMainWindow(true);
  GoToAddress();
}

void TfrmMain::mnuTray_WebsiteClick()
{
  ShowMainWindow(true);
  cboAddress->setEditText(Vendor::Website);
  GoToAddress();
}

void TfrmMain::mnuTray_AboutClick()
{
  SetTrayNotifications(false);
  struct TNotificationsBack {
    TfrmMain *form;
    ~TNotificationsBack() { form->SetTrayNotifications(true); }
  } restore{this};
  TfrmAbout about(MainIcon);
  about.ProductTitle = AppName;
  about.Version = "7.00";
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
  IgnoringErrors([&] {
    const std::string folder = FavoriteFolder(FavoritesPath, caption.toStdString());
    if (!folder.empty() && DirectoryExists(folder))
      QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
  });
}

void TfrmMain::OpenFavoriteAddress(const QString &caption)
{
  if (!FileExists(FavoritesPath))
    return;
  IgnoringErrors([&] {
    cboAddress->setEditText(
        QString::fromStdString(FavoriteAddress(FavoritesPath, caption.toStdString(), ApachePort)));
    GoToAddress();
  });
}

void TfrmMain::OrganizeFavorites()
{
  if (!FileExists(FavoritesPath))
    return;
  FavoritesPath = FavoritesFilePath(FavoritesPath);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(FavoritesPath)));
}
