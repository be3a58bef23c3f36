#include "browser/WebBrowser.h"

#include "browser/BrowserProfile.h"
#include "browser/BrowserWindow.h"
#include "browser/DeveloperTools.h"
#include "browser/Downloads.h"
#include "browser/PageDialogs.h"
#include "browser/PagePrinting.h"
#include "browser/PageWatch.h"
#include "browser/PopupFeatures.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QFrame>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <iterator>
#include <stdexcept>
#include <utility>

QUrl CompletedAddress(const QString &address)
{
  // A full address is taken as written: "fixing" one the user spelled out would go elsewhere.
  const QUrl url = address.contains(QStringLiteral("://")) ? QUrl(address, QUrl::StrictMode)
                                                           : QUrl::fromUserInput(address);
  if (!url.isValid())
    throw std::runtime_error("'" + address.toStdString() + "' is not a valid address");
  return url;
}

bool IsOpenableWindowAddress(const QUrl &address)
{
  const QString scheme = address.scheme().toLower();
  return scheme != QLatin1String("javascript") &&
         !(scheme == QLatin1String("about") && address.fragment() == QLatin1String("blocked"));
}

namespace
{

// Why the page's renderer ended, as the stopped page says it.
QString EndReason(int status)
{
  switch (status) {
  case QWebEnginePage::CrashedTerminationStatus:
    return "Its process crashed";
  case QWebEnginePage::KilledTerminationStatus:
    return "Its process was ended from outside (by the system for lack of memory, or by another program)";
  case QWebEnginePage::AbnormalTerminationStatus:
    return "Its process ended abnormally";
  default:
    return "Its process ended";
  }
}

// The zoom steps browsers offer, and each site's zoom for this session.
constexpr qreal ZoomSteps[] = {0.25, 0.33, 0.5,  0.67, 0.75, 0.8, 0.9, 1.0, 1.1,
                               1.25, 1.5,  1.75, 2.0,  2.5,  3.0, 4.0, 5.0};
QHash<QString, qreal> siteZoom;

QString SiteOf(const QUrl &address)
{
  return address.host() + ':' + QString::number(address.port());
}

} // namespace

// A page that drops script error reports while its browser is silent, and learns the features of
// the windows its scripts open.
class TWebBrowser::TPage : public QWebEnginePage
{
public:
  explicit TPage(TWebBrowser *browser)
      : QWebEnginePage(BrowserProfile::Current(), browser), windowOpens(this), owner(browser)
  {
  }

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

  void javaScriptAlert(const QUrl &, const QString &text) override
  {
    QString unused;
    owner->dialogs->Ask(TPageDialogs::TKind::Alert, text, unused);
  }

  bool javaScriptConfirm(const QUrl &, const QString &text) override
  {
    QString unused;
    return owner->dialogs->Ask(TPageDialogs::TKind::Confirm, text, unused);
  }

  bool javaScriptPrompt(const QUrl &, const QString &text, const QString &defaultValue,
                        QString *result) override
  {
    QString value = defaultValue;
    const bool accepted = owner->dialogs->Ask(TPageDialogs::TKind::Prompt, text, value);
    if (accepted && result)
      *result = value;
    return accepted;
  }

private:
  TWebBrowser *owner;
};

TWebBrowser::TWebBrowser(QWidget *parent) : QWebEngineView(parent), dialogs(new TPageDialogs(this))
{
  setObjectName("WebBrowser1");
  auto *ownPage = new TPage(this);
  setPage(ownPage);
  WatchDownloads(this);
  AttachPrinting(this);
  watch = new TPageWatch(ownPage);
  connect(dialogs, &TPageDialogs::OpenChanged, watch, &TPageWatch::SetPaused);
  connect(watch, &TPageWatch::Unresponsive, this, &TWebBrowser::AskAboutHang);
  connect(watch, &TPageWatch::Responsive, this, [this] {
    if (notResponding)
      notResponding->hide();
  });
  connect(watch, &TPageWatch::Ended, this, &TWebBrowser::ShowStopped);
  connect(ownPage, &QWebEnginePage::loadFinished, dialogs, &TPageDialogs::PageLoaded);
  connect(ownPage, &QWebEnginePage::urlChanged, this,
          [this](const QUrl &address) { setZoomFactor(siteZoom.value(SiteOf(address), 1.0)); });

  // The sites are local and the launcher has no place to ask: what a page asks for is refused at
  // once rather than left pending for ever.
  connect(ownPage, &QWebEnginePage::featurePermissionRequested, this,
          [ownPage](const QUrl &origin, QWebEnginePage::Feature feature) {
            ownPage->setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
          });
  connect(ownPage, &QWebEnginePage::fileSystemAccessRequested, this,
          [](QWebEngineFileSystemAccessRequest request) { request.reject(); });
  connect(ownPage, &QWebEnginePage::registerProtocolHandlerRequested, this,
          [](QWebEngineRegisterProtocolHandlerRequest request) { request.reject(); });

  connect(this, &QWebEngineView::loadStarted, this, [this] {
    if (stoppedPanel && stoppedPanel->isVisible()) {
      stoppedPanel->hide();
      // The engine tells only changes of the title, and the page's own may be the one it had.
      titleMarkedStopped = true;
    }
    unrequestedPopups = 0;
    busy = true;
    readyState = READYSTATE_LOADING;
  });
  connect(this, &QWebEngineView::loadFinished, this, [this] {
    if (std::exchange(titleMarkedStopped, false))
      emit TitleChange(title());
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
            // Not opened is refused: the page's window.open gives null.
            if (!IsOpenableWindowAddress(request.requestedUrl()))
              return;
            SetRequestedFeatures(request, ownPage->windowOpens.FeaturesFor(request.requestedUrl()));
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
  const QUrl url = address.isEmpty() ? QUrl() : CompletedAddress(address);
  Leave([this, url] { load(url); });
}

void TWebBrowser::GoBack()
{
  Leave([this] { back(); });
}

void TWebBrowser::GoForward()
{
  Leave([this] { forward(); });
}

void TWebBrowser::Refresh()
{
  // A stopped page has nothing to reload in place: its address is loaded again.
  if (stoppedPanel && stoppedPanel->isVisible()) {
    const QUrl address = url();
    Leave([this, address] { load(address); });
    return;
  }
  Leave([this] { reload(); });
}

void TWebBrowser::ZoomIn()
{
  for (const qreal step : ZoomSteps)
    if (step > zoomFactor() + 0.001) {
      SetSiteZoom(step);
      return;
    }
}

void TWebBrowser::ZoomOut()
{
  for (auto step = std::rbegin(ZoomSteps); step != std::rend(ZoomSteps); ++step)
    if (*step < zoomFactor() - 0.001) {
      SetSiteZoom(*step);
      return;
    }
}

void TWebBrowser::ZoomReset()
{
  SetSiteZoom(1.0);
}

void TWebBrowser::SetSiteZoom(qreal factor)
{
  siteZoom.insert(SiteOf(url()), factor);
  setZoomFactor(factor);
}

void TWebBrowser::Leave(const std::function<void()> &navigation)
{
  dialogs->CancelOpen();
  if (notResponding)
    notResponding->hide();
  if (watch->NotAnswering())
    watch->EndRenderer(navigation);
  else
    navigation();
}

void TWebBrowser::AskAboutHang()
{
  if (!notResponding) {
    notResponding = new QMessageBox(QMessageBox::Warning, windowTitle(), "The page is not responding.",
                                    QMessageBox::NoButton, window());
    notResponding->setObjectName("PageNotResponding");
    notResponding->setWindowModality(Qt::NonModal);
    QPushButton *wait = notResponding->addButton("Wait", QMessageBox::RejectRole);
    wait->setObjectName("btnWait");
    QPushButton *reload = notResponding->addButton("Reload", QMessageBox::AcceptRole);
    reload->setObjectName("btnReload");
    notResponding->setDefaultButton(wait);
    connect(notResponding, &QMessageBox::buttonClicked, this, [this, reload](QAbstractButton *button) {
      if (button == reload)
        Refresh();
      else
        watch->WaitLonger(TPageWatch::HungAfter * 3);
    });
  }
  notResponding->setWindowTitle(window()->windowTitle());
  notResponding->setInformativeText(url().toString());
  notResponding->show();
  notResponding->raise();
}

void TWebBrowser::ShowStopped(int status, int exitCode)
{
  if (notResponding)
    notResponding->hide();
  if (!stoppedPanel) {
    stoppedPanel = new QFrame(this);
    stoppedPanel->setObjectName("PageStopped");
    stoppedPanel->setAutoFillBackground(true);
    auto *column = new QVBoxLayout(stoppedPanel);
    column->addStretch(1);
    stoppedText = new QLabel(stoppedPanel);
    stoppedText->setObjectName("lblPageStopped");
    stoppedText->setAlignment(Qt::AlignCenter);
    stoppedText->setWordWrap(true);
    stoppedText->setTextFormat(Qt::PlainText);
    column->addWidget(stoppedText);
    auto *reload = new QPushButton("Reload", stoppedPanel);
    reload->setObjectName("btnReloadStoppedPage");
    connect(reload, &QPushButton::clicked, this, &TWebBrowser::Refresh);
    column->addWidget(reload, 0, Qt::AlignCenter);
    column->addStretch(1);
  }
  stoppedText->setText(QString("This page stopped working.\n%1 (exit code %2).\n\n%3")
                           .arg(EndReason(status))
                           .arg(exitCode)
                           .arg(url().toString()));
  stoppedPanel->setGeometry(rect());
  stoppedPanel->show();
  stoppedPanel->raise();
  busy = false;
  readyState = READYSTATE_COMPLETE;
  emit ProgressChange(0, 100);
  emit TitleChange(title().isEmpty() ? "Page stopped working" : title() + " (stopped working)");
}

void TWebBrowser::contextMenuEvent(QContextMenuEvent *event)
{
  QMenu *menu = createStandardContextMenu();
  menu->setAttribute(Qt::WA_DeleteOnClose);
  // The engine's own entry needs tools that are already open; ours opens them.
  menu->removeAction(pageAction(QWebEnginePage::InspectElement));
  if (TBrowserWindow::DeveloperToolsAllowed()) {
    menu->addSeparator();
    QAction *inspect = menu->addAction("Inspect");
    inspect->setObjectName("mnuInspect");
    connect(inspect, &QAction::triggered, this, [this] {
      OpenDeveloperTools(this);
      // The tools select the element the menu was opened on.
      page()->triggerAction(QWebEnginePage::InspectElement);
    });
  }
  emit ContextMenuOpening(menu);
  menu->popup(event->globalPos());
}

void TWebBrowser::resizeEvent(QResizeEvent *event)
{
  QWebEngineView::resizeEvent(event);
  if (stoppedPanel)
    stoppedPanel->setGeometry(rect());
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
