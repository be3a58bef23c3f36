#pragma once

#include "browser/BrowserWindow.h"
#include "browser/PopupFeatures.h"

#include <QMargins>
#include <QRect>
#include <QString>

class QWebEngineNewWindowRequest;

// Where pop-ups go: the screen the main window is on, its part not taken by panels, and the frame
// the window manager adds around a window.
struct TPopupArea {
  QRect screen;
  QRect available;
  QMargins frame;
};

// A pop-up browser window: a page's new window, with its own browser, tool band, address box with
// history, status bar and Home. Independent of the window that opened it; deleted when closed.
class TfrmBrowser : public TBrowserWindow
{
  Q_OBJECT

public:
  TfrmBrowser();

  // Sizes and places the window for what its page asked for. Without a requested position the window
  // is 800 x 600 centred on the screen with tool band and status bar; with one, the page area gets
  // the requested size (800 x 600 when none is given), the window's top-left corner the requested
  // position (centred on an axis without one), and the bars follow the features. Either way the
  // framed window is kept inside the available area, shrunk to it when larger: a page cannot put a
  // window out of reach or have one as large as it likes.
  void PlaceFor(const TPopupFeatures &features, const TPopupArea &area);

  // Where "Home" goes: the local site, or the opener's home for a pop-up opened by a pop-up.
  QString HomeAddress;
  // Where this window's own pop-ups go.
  TPopupArea Area;

protected:
  QString HomePage() const override { return HomeAddress; }

private:
  void WebBrowser1NewWindow(QWebEngineNewWindowRequest &request);

  QWidget *Panel1; // the page area under the tool band, holding the browser
};

// Opens Request in a new pop-up window whose Home is HomeAddress, placed in Area for the features the
// page gave with it, and shows it. Gives the window.
TfrmBrowser *OpenPopupBrowser(QWebEngineNewWindowRequest &request, const QString &homeAddress,
                              const TPopupArea &area);
