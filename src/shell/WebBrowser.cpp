#include "shell/WebBrowser.h"

#include "shell/PopupFeatures.h"

#include <QAction>
#include <QUrl>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <stdexcept>

QUrl CompletedAddress(const QString &address)
{
  // A full address is taken as written: "fixing" one the user spelled out would go elsewhere.
  const QUrl url = address.contains(QStringLiteral("://")) ? QUrl(address, QUrl::StrictMode)
                                                           : QUrl::fromUserInput(address);
  if (!url.isValid())
    throw std::runtime_error("'" + address.toStdString() + "' is not a valid address");
  return url;
}

// A page that drops script error reports while its browser is silent, and learns the features of
// the windows its scripts open.
class TWebBrowser::TPage : public QWebEnginePage
{
public:
  explicit TPage(TWebBrowser *browser) : QWebEnginePage(browser), windowOpens(this), owner(browser) {}

  TWindowOpenReports windowOpens;

protected:
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                const QString &source) override
  {
    if (windowOpens.Take(message))
      return;
    if (owner->Silent() && level == ErrorMessageLevel)
      return;
    QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
  }

private:
  TWebBrowser *owner;
};

TWebBrowser::TWebBrowser(QWidget *parent) : QWebEngineView(parent)
{
  setObjectName("WebBrowser1");
  auto *ownPage = new TPage(this);
  setPage(ownPage);

  connect(this, &QWebEngineView::loadStarted, this, [this] {
    unrequestedPopups = 0;
    busy = true;
    readyState = READYSTATE_LOADING;
  });
  connect(this, &QWebEngineView::loadFinished, this, [this] {
    busy = false;
    readyState = READYSTATE_COMPLETE;
    // The load is over: the progress display goes back to idle.
    emit ProgressChange(0, 100);
  });
  connect(this, &QWebEngineView::loadProgress, this, [this](int value) { emit ProgressChange(value, 100); });
  connect(page(), &QWebEnginePage::linkHovered, this, &TWebBrowser::StatusTextChange);
  connect(this, &QWebEngineView::titleChanged, this, &TWebBrowser::TitleChange);
  connect(ownPage, &QWebEnginePage::newWindowRequested, this,
          [this, ownPage](QWebEngineNewWindowRequest &request) {
            SetRequestedFeatures(request, ownPage->windowOpens.FeaturesFor(request.requestedUrl()));
            // Not opened is refused: the page's window.open gives null.
            if (!request.isUserInitiated() && ++unrequestedPopups > PopupsWithoutGesture)
              return;
            emit NewWindow(request);
          });
  connect(page(), &QWebEnginePage::windowCloseRequested, this, &TWebBrowser::WindowClosing);

  QAction *back = pageAction(QWebEnginePage::Back);
  QAction *forward = pageAction(QWebEnginePage::Forward);
  connect(back, &QAction::changed, this,
          [this, back] { emit CommandStateChange(CSC_NAVIGATEBACK, back->isEnabled()); });
  connect(forward, &QAction::changed, this,
          [this, forward] { emit CommandStateChange(CSC_NAVIGATEFORWARD, forward->isEnabled()); });
}

void TWebBrowser::Navigate(const QString &address)
{
  if (address.isEmpty()) {
    load(QUrl());
    return;
  }
  load(CompletedAddress(address));
}

void TWebBrowser::GoBack()
{
  back();
}

void TWebBrowser::GoForward()
{
  forward();
}

void TWebBrowser::Refresh()
{
  reload();
}

void TWebBrowser::Stop()
{
  stop();
}

void TWebBrowser::GoHome()
{
  if (!HomeAddress.isEmpty())
    Navigate(HomeAddress);
}

QString TWebBrowser::LocationURL() const
{
  return url().toString();
}
