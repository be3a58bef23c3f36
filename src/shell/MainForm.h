#pragma once

#include "shell/BrowserForm.h"
#include "shell/BrowserWindow.h"
#include "shell/StartupInfo.h"

#include <QIcon>
#include <QString>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QTimer;
class QWebEngineNewWindowRequest;
class TExitWatch;
class TTrayIconMan;

// The main window: the embedded browser with its tool band, address box, status bar and the tray menu.
class TfrmMain : public TBrowserWindow
{
  Q_OBJECT

public:
  explicit TfrmMain(TStackHooks hooks, QWidget *parent = nullptr);
  ~TfrmMain() override;

  // Title and window state once the configured title is known; Icon is what the tray and About
  // show (every window takes the application's icon).
  void ApplyTitle(const QString &appName, const QIcon &icon);
  // The window part of the start-up: favorites, branding, visibility flags, the first navigation.
  void CompleteStartup(const TStartupInfo &info);

  void EnterFullScreen();
  void ExitFullScreen();
  // Ends the message loop; destroying the window then stops the servers.
  void CloseApplication();
  void ShowMainWindow(bool show);
  void ToggleMainWindow();
  void SetTrayNotifications(bool enabled);
  // Runs Command as the one command of the window and the tray: commands wait in dialogs, builds
  // and hand-overs that process events, and a click queued meanwhile must not start another inside
  // it. While one runs, the others are ignored and the tray menu is disabled.
  void RunCommand(const std::function<void()> &command);
  bool CommandRunning() const { return commandRunning; }
  // Puts the tray icon up (when a tray exists) or, with false, removes it for good.
  void UpdateTrayIcon(bool enable);

  // Builds the favorites menu from File; gives the path to keep (empty when the file is missing).
  std::string LoadFavorites(const std::string &file);
  void OrganizeFavorites();

  // The command menu a tray icon shows.
  QMenu *mnuTray;

  QString AppName;
  QIcon MainIcon;
  int ApachePort = 0;
  bool ShowTrayIcon = true;
  bool ShowToolbar = true;
  bool ShowStatusBar = true;
  bool Started = false;
  // The tray icon while it is up; null before, and after shutdown removed it.
  TTrayIconMan *TrayIconMan = nullptr;
  AppUtils::TProcessId SplashProcessId = 0;
  std::string FavoritesPath;

signals:
  // A page asks for a new window; HomeAddress is the local site.
  void newWindowRequested(QWebEngineNewWindowRequest &request, const QString &homeAddress);
  void downSizeRequested();
  void settingsRequested();
  void rebrandRequested();
  void trayNotificationsChanged(bool enabled);

protected:
  QString HomePage() const override { return LocalAddress(); }
  bool event(QEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  void AddFavoritesAndRebrand();
  void CreateTrayMenu();
  QString LocalAddress() const;
  // Where pop-ups may go: the screen this window is on.
  TPopupArea PopupArea() const;
  // Once started: the tray icon, and the session end, signals and program file that end the program.
  void WatchTrayAndExit();
  void HideToTrayIfMinimised();

  void WebBrowser1NewWindow(QWebEngineNewWindowRequest &request);
  void tmrCloseSplashTimer();
  void mnuTray_HelpClick();
  void mnuTray_WebsiteClick();
  void mnuTray_AboutClick();
  void OpenFavoriteFolder(const QString &caption);
  void OpenFavoriteAddress(const QString &caption);
  TStackHooks stack;
  QMenu *mnuMenu;
  QTimer *tmrCloseSplash;
  QAction *mnuTray_DownSize;
  QAction *mnuTray_Settings;
  bool stopped = false;
  bool commandRunning = false;
  QTimer *tmrTray;
  bool trayFinished = false;
  TExitWatch *exitWatch = nullptr;
};
