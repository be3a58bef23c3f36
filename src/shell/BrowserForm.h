#pragma once

#include "shell/PopupFeatures.h"

#include <QMainWindow>
#include <QString>

class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QStatusBar;
class QToolBar;
class QToolButton;
class QWebEngineNewWindowRequest;
class TWebBrowser;

// A pop-up browser window: a page's new window, with its own browser, tool band, address box with
// history, status bar and Home. Independent of the window that opened it; deleted when closed.
class TfrmBrowser : public QMainWindow
{
  Q_OBJECT

public:
  TfrmBrowser();
  ~TfrmBrowser() override;

  // Sizes and places the window for what its page asked for. Without a requested position the window
  // is 800 x 600 centred on the screen with tool band and status bar; with one, the page area gets
  // the requested size (800 x 600 when none is given), the window's top-left corner the requested
  // position (centred on an axis without one), and the bars follow the features.
  void PlaceFor(const TPopupFeatures &features);

  // Navigates the browser to the address box text, trimmed.
  void GoToAddress();

  TWebBrowser *Browser() const { return WebBrowser1; }

  // Where "Home" goes: the local site, or the opener's home for a pop-up opened by a pop-up.
  QString HomeAddress;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void CreateToolBand();
  void CreateStatusBar();
  QToolButton *AddToolButton(const char *name, const QString &caption, const QIcon &image);

  void WebBrowser1TitleChange(const QString &text);
  void WebBrowser1CommandStateChange(int command, bool enable);
  void WebBrowser1ProgressChange(int progress, int progressMax);
  void WebBrowser1NewWindow(QWebEngineNewWindowRequest &request);
  void btnHomeClick();
  // Runs a browser command whose failures do not matter.
  template <typename Command> void IgnoringErrors(Command command);

  TWebBrowser *WebBrowser1;
  QFrame *CoolBar1;
  QToolBar *tlbToolbar;
  QToolButton *btnBack;
  QToolButton *btnForward;
  QComboBox *cboAddress;
  QWidget *Panel1;
  QStatusBar *StatusBar1;
  QLabel *statusPanels[3];
  QProgressBar *ProgressBar1;
};

// Opens Request in a new pop-up window whose Home is HomeAddress, placed for the features the page
// gave with it, and shows it. Gives the window.
TfrmBrowser *OpenPopupBrowser(QWebEngineNewWindowRequest &request, const QString &homeAddress);
