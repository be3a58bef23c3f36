#include "browser/BrowserForm.h"

#include "browser/WebBrowser.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <algorithm>
#include <climits>

namespace
{

constexpr QSize DefaultWindowSize(800, 600);

// Offset that centres Length within Available, halves rounded toward zero.
int Centred(int available, int length)
{
  return (available - length) / 2;
}

} // namespace

TfrmBrowser::TfrmBrowser()
{
  setObjectName("frmBrowser");
  setAttribute(Qt::WA_DeleteOnClose);

  CreateToolBand();
  // Narrow pop-ups keep their tool band: the address box gives way first.
  cboAddress->setMinimumWidth(60);
  clientColumn->addWidget(CoolBar1);

  Panel1 = new QWidget(centralWidget());
  Panel1->setObjectName("Panel1");
  auto *pageArea = new QVBoxLayout(Panel1);
  pageArea->setContentsMargins(0, 0, 0, 0);
  WebBrowser1 = new TWebBrowser(Panel1);
  WebBrowser1->SetSilent(true);
  pageArea->addWidget(WebBrowser1);
  clientColumn->addWidget(Panel1, 1);

  CreateStatusBar();

  connect(WebBrowser1, &TWebBrowser::NewWindow, this, &TfrmBrowser::WebBrowser1NewWindow);
  // A page closing its own window closes this window only.
  connect(WebBrowser1, &TWebBrowser::WindowClosing, this, &QWidget::close);

  // Windows still open when the application ends go with it.
  connect(qApp, &QCoreApplication::aboutToQuit, this, &QObject::deleteLater);

  AttachChrome();
}

void TfrmBrowser::PlaceFor(const TPopupFeatures &features, const TPopupArea &area)
{
  const QRect &screen = area.screen;
  const bool requested = features.PositionRequested();
  if (!requested) {
    CoolBar1->show();
    StatusBar1->show();
  } else {
    CoolBar1->setVisible(features.menuBar && features.toolBar && features.addressBar);
    StatusBar1->setVisible(features.statusBar);
  }
  // The window is not shown yet, so the bands are measured by their own wishes.
  const int bands = (CoolBar1->isHidden() ? 0 : CoolBar1->sizeHint().height()) +
                    (StatusBar1->isHidden() ? 0 : StatusBar1->sizeHint().height());
  const QRect inside = area.available.marginsRemoved(area.frame);
  QSize client = DefaultWindowSize;
  if (requested)
    client = QSize(features.width.value_or(DefaultWindowSize.width()),
                   std::min(features.height.value_or(DefaultWindowSize.height()), INT_MAX - bands) + bands);
  client = client.boundedTo(QSize(std::max(inside.width(), 1), std::max(inside.height(), 1)));
  resize(client);

  // Positions are those of the frame's top-left corner.
  const QSize framed = client.grownBy(area.frame);
  QPoint corner(screen.x() + Centred(screen.width(), client.width()),
                screen.y() + Centred(screen.height(), client.height()));
  if (requested && features.left)
    corner.setX(*features.left);
  if (requested && features.top)
    corner.setY(*features.top);
  const QRect &limits = area.available;
  move(std::clamp(corner.x(), limits.left(), std::max(limits.left(), limits.right() + 1 - framed.width())),
       std::clamp(corner.y(), limits.top(), std::max(limits.top(), limits.bottom() + 1 - framed.height())));
}

void TfrmBrowser::WebBrowser1NewWindow(QWebEngineNewWindowRequest &request)
{
  OpenPopupBrowser(request, HomeAddress, Area);
}

TfrmBrowser *OpenPopupBrowser(QWebEngineNewWindowRequest &request, const QString &homeAddress,
                              const TPopupArea &area)
{
  auto *popup = new TfrmBrowser;
  popup->HomeAddress = homeAddress;
  popup->Area = area;
  popup->PlaceFor(ParsePopupFeatures(RequestedFeatures(request)), area);
  request.openIn(popup->Browser()->page());
  popup->show();
  return popup;
}
