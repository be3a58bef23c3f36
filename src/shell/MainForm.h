#pragma once

#include "browser/BrowserForm.h"
#include "browser/BrowserWindow.h"
#include "shell/StartupInfo.h"
#include "widgets/CommandHost.h"

#include <QIcon>
#include <QString>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class QToolButton;
class QWebEngineNewWindowRequest;
class TTrayIconMan;
class TfrmLogs;

// The main window: the embedded browser with its tool band, address box, status bar and the tray menu.
// It is the host the maintenance and packaging commands run from.
class TfrmMain : public TBrowserWindow, public TCommandHost
{
  Q_OBJECT

public:
  explicit TfrmMain(TStackHooks hooks, QWidget *parent = nullptr);
  ~TfrmMain() override;

  // Title and window state once the configured title is known; Icon is what the tray and About
  // show (every window takes the application's icon).
  void ApplyTitle(const QString &appName, const QIcon &icon);
  // Branding and the tool and status bars' visibility; applied before the steps that can fail, so
  // an error box already sits over the distribution's own window.
  void ApplyBranding(const TStartupInfo &info);
  // Lets the browser engine set up this window's view and its page's process while the servers
  // start: the window counts as shown for Qt but never reaches the screen. Ended by EndWarmUp().
  void BeginWarmUp();
  // Ends the warm-up, so that the next show() shows the window; nothing happens without one.
  void EndWarmUp();
  // The window part of the start-up: favorites, branding, visibility flags, the first navigation.
  void CompleteStartup(const TStartupInfo &info);
  // Says something the user should know about this start in the status bar, once, for a while:
  // what works differently than it should (a profile that forgets, a request path in the way).
  void ShowNotice(const QString &text);
  // With an external browser that handed the page over and ended: no window, but a tray icon to
  // exit by (its Show entry hidden).
  void KeepRunningInTray();
  // The first step of every shutdown: the window goes, the tray icon goes, and no command of the
  // tray or tool bar runs any more while the servers stop.
  void BeginShutdown();
  bool ShuttingDown() const { return shuttingDown; }

  // Says in the status bar what the server watch found wrong with servers that still run (empty:
  // nothing); the status bar shows while there is a note, even when it is switched off.
  void ShowServerNote(const QString &note);

  void EnterFullScreen();
  void ExitFullScreen();
  // Ends the message loop; destroying the window then stops the servers.
  void CloseApplication() override;
  // The user's close (the close box, the tray's Exit): the page may first ask to stay, as a
  // browser's does before unsaved work is lost; then CloseApplication().
  void RequestClose();
  void ShowMainWindow(bool show);
  void ToggleMainWindow();
  void SetTrayNotifications(bool enabled) override;
  QWidget *DialogOwner() override { return this; }
  // Runs Command as the one command of the window and the tray: commands wait in dialogs, builds
  // and hand-overs that process events, and a click queued meanwhile must not start another inside
  // it. While one runs, or once the shutdown has begun, the others are ignored and the tray menu is
  // disabled. A command that throws is reported in the error report and ends there.
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
  Base::TProcessId SplashProcessId = 0;
  std::string FavoritesPath;

signals:
  // A page asks for a new window; HomeAddress is the local site.
  void newWindowRequested(QWebEngineNewWindowRequest &request, const QString &homeAddress);
  void downSizeRequested();
  void settingsRequested();
  void rebrandRequested();
  // The tray menu's applications-menu entry was chosen.
  void desktopEntryRequested();
  void trayNotificationsChanged(bool enabled);

protected:
  QString HomePage() const override { return LocalAddress(); }
  void ToggleFullScreen() override;
  bool event(QEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  void AddFavoritesAndRebrand();
  void CreateTrayMenu();
  QString LocalAddress() const;
  // Puts the tray icon up, or looks for a tray until one appears.
  void PutUpTrayIcon();
  // Where pop-ups may go: the screen this window is on.
  TPopupArea PopupArea() const;
  void HideToTrayIfMinimised();
  // The tray's comings and goings: its icon, the window brought back, the window's menu button.
  void WatchTray();
  // The tool bar's menu button stands in for a tray icon that is not shown.
  void UpdateWindowMenu();
  // The window is never so narrow that the tool bar folds its buttons (the Menu button, the only
  // way to Exit without a window manager or tray) behind its overflow arrow; with the address box's
  // own minimum, the window's minimum width follows the buttons shown.
  void KeepToolBandWhole();

  void WebBrowser1NewWindow(QWebEngineNewWindowRequest &request);
  void tmrCloseSplashTimer();
  void EndSplash();
  void mnuTray_HelpClick();
  void mnuTray_WebsiteClick();
  // Clears the browser profile's cookies, cache and the sites' stored data, once confirmed.
  void ClearBrowsingData();
  // Opens the user's terminal on the stack, or says why it cannot.
  void OpenTerminal();
  // Opens the Logs window, one for the whole run: a second request brings it to the front.
  void ShowLogs();
  void mnuTray_AboutClick();
  void OpenFavoriteFolder(const QString &caption);
  void OpenFavoriteAddress(const QString &caption);
  TStackHooks stack;
  QMenu *mnuMenu;
  QTimer *tmrCloseSplash;
  QAction *mnuTray_DownSize;
  QAction *mnuTray_Settings;
  bool shuttingDown = false;
  bool commandRunning = false;
  QTimer *tmrTray;
  QLabel *serverNote;
  bool trayFinished = false;
  // A close waits for the page's answer.
  bool closeAsked = false;
  // Running for an external browser: the tray icon is the only way to the program.
  bool keptInTray = false;
  QToolButton *btnMenu = nullptr;
  std::unique_ptr<TfrmLogs> frmLogs;
};
