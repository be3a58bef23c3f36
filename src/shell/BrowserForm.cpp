#include "shell/BrowserForm.h"

#include "shell/WebBrowser.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>

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

void TfrmBrowser::PlaceFor(const TPopupFeatures &features)
{
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  if (!features.PositionRequested()) {
    CoolBar1->show();
    StatusBar1->show();
    resize(DefaultWindowSize);
    move(screen.x() + Centred(screen.width(), DefaultWindowSize.width()),
         screen.y() + Centred(screen.height(), DefaultWindowSize.height()));
    return;
  }
  CoolBar1->setVisible(features.menuBar && features.toolBar && features.addressBar);
  StatusBar1->setVisible(features.statusBar);
  const QSize content(features.width.value_or(DefaultWindowSize.width()),
                      features.height.value_or(DefaultWindowSize.height()));
  // The window is not shown yet, so the bands are measured by their own wishes.
  const int bands = (CoolBar1->isHidden() ? 0 : CoolBar1->sizeHint().height()) +
                    (StatusBar1->isHidden() ? 0 : StatusBar1->sizeHint().height());
  resize(content.width(), content.height() + bands);
  move(features.left ? *features.left : screen.x() + Centred(screen.width(), width()),
       features.top ? *features.top : screen.y() + Centred(screen.height(), height()));
}

void TfrmBrowser::WebBrowser1NewWindow(QWebEngineNewWindowRequest &request)
{
  IgnoringErrors([&] { OpenPopupBrowser(request, HomeAddress); });
}

TfrmBrowser *OpenPopupBrowser(QWebEngineNewWindowRequest &request, const QString &homeAddress)
{
  auto *popup = new TfrmBrowser;
  popup->HomeAddress = homeAddress;
  popup->PlaceFor(ParsePopupFeatures(RequestedFeatures(request)));
  request.openIn(popup->Browser()->page());
  popup->show();
  return popup;
}
