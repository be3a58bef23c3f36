#pragma once

#include <QMainWindow>
#include <QString>
#include <functional>
#include <stdexcept>

class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QStatusBar;
class QToolBar;
class QToolButton;
class QKeyEvent;
class QVBoxLayout;
class TFindBar;
class TWebBrowser;

// What the main window and the pop-up windows share: a page view under a tool band (Back, Forward,
// Refresh, Stop, Home, address box with history, Go) above a status bar (status text, load progress,
// a spare panel), and the keys and browser events that drive them.
class TBrowserWindow : public QMainWindow
{
  Q_OBJECT

public:
  ~TBrowserWindow() override;

  // Navigates the browser to the address box text, trimmed.
  void GoToAddress();

  TWebBrowser *Browser() const { return WebBrowser1; }
  TFindBar *FindBar() const { return findBar; }

  // Whether F12 and the page's "Inspect" open the engine's developer tools (for every window).
  static void SetDeveloperToolsAllowed(bool allowed);
  static bool DeveloperToolsAllowed();

protected:
  explicit TBrowserWindow(QWidget *parent = nullptr);

  // Where "Home" goes.
  virtual QString HomePage() const = 0;
  // F11: full screen and back.
  virtual void ToggleFullScreen();

  // Builds CoolBar1; AddMoreButtons puts the window's own tool buttons after Home.
  void CreateToolBand(const std::function<void()> &addMoreButtons = {});
  QToolButton *AddToolButton(const char *name, const QString &caption, const QIcon &image);
  void CreateStatusBar();
  // Hooks the browser's events to the bands and starts the key preview; the window's parts must
  // exist by then, since the preview sees every event of the application.
  void AttachChrome();
  // Panel 1 lowered and empty, as between loads.
  void ClearProgress();

  bool eventFilter(QObject *watched, QEvent *event) override;

  // The client area's column: tool band, page area.
  QVBoxLayout *clientColumn;
  TWebBrowser *WebBrowser1 = nullptr; // the page view
  QFrame *CoolBar1 = nullptr;         // the tool band: tool bar and address box
  QToolBar *tlbToolbar = nullptr;
  QToolButton *btnBack = nullptr;
  QToolButton *btnForward = nullptr;
  QComboBox *cboAddress = nullptr;
  QStatusBar *StatusBar1 = nullptr; // the status bar with its three panels
  QLabel *statusPanels[3] = {};
  QProgressBar *ProgressBar1 = nullptr; // the load progress, over status panel 1

private:
  // The keys of a browser window, wherever the focus is in it: gives true when Key was one.
  bool HandleWindowKey(const QKeyEvent &key);
  void SelectAddressBox();
  // The user has typed in the address box and is still in it.
  bool TypingAddress() const;
  // Whether Event, delivered to Watched, picks an item of the address list.
  bool IsListPick(QObject *watched, QEvent *event) const;
  void PlaceProgressBar();
  void WebBrowser1TitleChange(const QString &text);
  void WebBrowser1CommandStateChange(int command, bool enable);
  void WebBrowser1ProgressChange(int progress, int progressMax);
  void btnHomeClick();

  bool pickingFromList = false;
  TFindBar *findBar = nullptr;
};
