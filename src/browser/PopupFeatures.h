#pragma once

#include <QString>
#include <QUrl>
#include <optional>

class QWebEngineNewWindowRequest;
class QWebEnginePage;

// What a page asked for in the features string of window.open. Positions and sizes are in pixels;
// the sizes are those of the page area.
struct TPopupFeatures {
  std::optional<int> left;
  std::optional<int> top;
  std::optional<int> width;
  std::optional<int> height;
  bool menuBar = true;
  bool toolBar = true;
  bool addressBar = true;
  bool statusBar = true;

  bool PositionRequested() const { return left || top; }
};

// The smallest page area a features string can ask for.
constexpr int MinPopupContentSize = 100;

// Reads a window.open features string. A blank string asks for nothing: every bar on, no geometry.
// Otherwise each bar is off unless named with a true value ("yes", no value, or a non-zero number), and
// the geometry is what "left"/"screenX", "top"/"screenY", "width"/"innerWidth",
// "height"/"innerHeight" give (sizes raised to MinPopupContentSize). Names are case-insensitive;
// blanks, commas and "=" separate, unknown names and unreadable numbers are ignored.
TPopupFeatures ParsePopupFeatures(const QString &features);

// Wraps window.open in every frame of Page so each call reports its address and features string to
// the console before the window is requested, and reports a call that opened nothing. Remembers the
// latest report until the window request for its address arrives. Reports from other pages do not
// arrive here: the console of a page is its own.
class TWindowOpenReports
{
public:
  explicit TWindowOpenReports(QWebEnginePage *page);

  // Takes Message when it is a report; gives false for any other console message.
  bool Take(const QString &message);
  // The features string a window.open call gave for the window now requested for Url. A null string
  // when the request did not come from such a call (a link with a target, say).
  QString FeaturesFor(const QUrl &url);

private:
  QUrl address;
  QString features;
  bool pending = false;
};

// The features string handed along with a new-window request (null: none was given).
void SetRequestedFeatures(QWebEngineNewWindowRequest &request, const QString &features);
QString RequestedFeatures(const QWebEngineNewWindowRequest &request);
