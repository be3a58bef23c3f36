#include "shell/BrowserForm.h"

#include "shell/AddressHistory.h"
#include "shell/Trim.h"
#include "shell/WebBrowser.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>

namespace
{

constexpr QSize DefaultWindowSize(800, 600);

QFont Tahoma8()
{
  QFont font("Tahoma");
  font.setPointSize(8);
  return font;
}

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
  setFont(Tahoma8());
  resize(632, 453);

  auto *client = new QWidget(this);
  auto *column = new QVBoxLayout(client);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  setCentralWidget(client);

  CreateToolBand();
  column->addWidget(CoolBar1);

  Panel1 = new QWidget(client);
  Panel1->setObjectName("Panel1");
  auto *pageArea = new QVBoxLayout(Panel1);
  pageArea->setContentsMargins(0, 0, 0, 0);
  WebBrowser1 = new TWebBrowser(Panel1);
  WebBrowser1->SetSilent(true);
  pageArea->addWidget(WebBrowser1);
  column->addWidget(Panel1, 1);

  CreateStatusBar();

  connect(WebBrowser1, &TWebBrowser::StatusTextChange, statusPanels[0], &QLabel::setText);
  connect(WebBrowser1, &TWebBrowser::TitleChange, this, &TfrmBrowser::WebBrowser1TitleChange);
  connect(WebBrowser1, &TWebBrowser::CommandStateChange, this, &TfrmBrowser::WebBrowser1CommandStateChange);
  connect(WebBrowser1, &TWebBrowser::ProgressChange, this, &TfrmBrowser::WebBrowser1ProgressChange);
  connect(WebBrowser1, &TWebBrowser::NewWindow, this, &TfrmBrowser::WebBrowser1NewWindow);
  // A page closing its own window closes this window only.
  connect(WebBrowser1, &TWebBrowser::WindowClosing, this, &QWidget::close);

  // Windows still open when the application ends go with it.
  connect(qApp, &QCoreApplication::aboutToQuit, this, &QObject::deleteLater);

  // Key preview: F5 refreshes wherever the focus is in this window, the page included.
  qApp->installEventFilter(this);
}

TfrmBrowser::~TfrmBrowser()
{
  qApp->removeEventFilter(this);
}

QToolButton *TfrmBrowser::AddToolButton(const char *name, const QString &caption, const QIcon &image)
{
  auto *button = new QToolButton(tlbToolbar);
  button->setObjectName(name);
  button->setText(caption);
  button->setIcon(image);
  button->setIconSize(QSize(32, 32));
  button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  button->setAutoRaise(true);
  button->setMinimumSize(52, 52);
  tlbToolbar->addWidget(button);
  return button;
}

void TfrmBrowser::CreateToolBand()
{
  CoolBar1 = new QFrame(this);
  CoolBar1->setObjectName("CoolBar1");
  CoolBar1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  auto *band = new QVBoxLayout(CoolBar1);
  band->setContentsMargins(0, 0, 0, 0);

  auto *pnlToolbar = new QWidget(CoolBar1);
  pnlToolbar->setObjectName("pnlToolbar");
  pnlToolbar->setMinimumHeight(52);
  band->addWidget(pnlToolbar);
  auto *row = new QHBoxLayout(pnlToolbar);
  row->setContentsMargins(0, 0, 4, 0);
  row->setSpacing(0);

  tlbToolbar = new QToolBar(pnlToolbar);
  tlbToolbar->setObjectName("tlbToolbar");
  tlbToolbar->setIconSize(QSize(32, 32));
  QStyle *look = style();
  btnBack = AddToolButton("btnBack", "Back", look->standardIcon(QStyle::SP_ArrowBack));
  btnForward = AddToolButton("btnForward", "Forward", look->standardIcon(QStyle::SP_ArrowForward));
  QToolButton *btnRefresh =
      AddToolButton("btnRefresh", "Refresh", look->standardIcon(QStyle::SP_BrowserReload));
  QToolButton *btnStop = AddToolButton("btnStop", "Stop", look->standardIcon(QStyle::SP_BrowserStop));
  QToolButton *btnHome = AddToolButton("btnHome", "Home", look->standardIcon(QStyle::SP_DirHomeIcon));
  row->addWidget(tlbToolbar);
  row->addSpacing(8);

  cboAddress = new QComboBox(pnlToolbar);
  cboAddress->setObjectName("cboAddress");
  cboAddress->setEditable(true);
  cboAddress->setInsertPolicy(QComboBox::NoInsert);
  cboAddress->setCompleter(nullptr);
  cboAddress->setMaxVisibleItems(8);
  cboAddress->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  // Narrow pop-ups keep their tool band: the address box gives way first.
  cboAddress->setMinimumWidth(60);
  cboAddress->installEventFilter(this);
  cboAddress->lineEdit()->installEventFilter(this);
  row->addWidget(cboAddress, 1, Qt::AlignVCenter);
  row->addSpacing(4);

  auto *tlbGo = new QToolBar(pnlToolbar);
  tlbGo->setObjectName("tlbGo");
  tlbGo->setIconSize(QSize(20, 20));
  auto *btnGo = new QToolButton(tlbGo);
  btnGo->setObjectName("btnGo");
  btnGo->setText("Go");
  btnGo->setIcon(look->standardIcon(QStyle::SP_ArrowRight));
  btnGo->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  btnGo->setAutoRaise(true);
  btnGo->setFixedSize(51, 26);
  tlbGo->addWidget(btnGo);
  row->addWidget(tlbGo, 0, Qt::AlignVCenter);

  connect(btnBack, &QToolButton::clicked, this,
          [this] { IgnoringErrors([this] { WebBrowser1->GoBack(); }); });
  connect(btnForward, &QToolButton::clicked, this,
          [this] { IgnoringErrors([this] { WebBrowser1->GoForward(); }); });
  connect(btnRefresh, &QToolButton::clicked, this,
          [this] { IgnoringErrors([this] { WebBrowser1->Refresh(); }); });
  connect(btnStop, &QToolButton::clicked, this, [this] { IgnoringErrors([this] { WebBrowser1->Stop(); }); });
  connect(btnHome, &QToolButton::clicked, this, &TfrmBrowser::btnHomeClick);
  connect(btnGo, &QToolButton::clicked, this, &TfrmBrowser::GoToAddress);
  connect(cboAddress, &QComboBox::activated, this, &TfrmBrowser::GoToAddress);
  connect(cboAddress, &QComboBox::editTextChanged, this, [this](const QString &text) {
    if (text.isEmpty())
      cboAddress->setCurrentIndex(-1);
  });
}

void TfrmBrowser::CreateStatusBar()
{
  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  StatusBar1->setFont(Tahoma8());
  for (int index = 0; index < 3; ++index) {
    statusPanels[index] = new QLabel(StatusBar1);
    statusPanels[index]->setObjectName(QString("StatusBar1_Panel%1").arg(index));
  }
  statusPanels[1]->setFixedWidth(200);
  statusPanels[1]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  statusPanels[2]->setFixedWidth(80);
  StatusBar1->addWidget(statusPanels[0], 1);
  StatusBar1->addPermanentWidget(statusPanels[1]);
  StatusBar1->addPermanentWidget(statusPanels[2]);
  setStatusBar(StatusBar1);

  // The progress bar fills panel 1 while a page loads.
  ProgressBar1 = new QProgressBar(statusPanels[1]);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setTextVisible(false);
  ProgressBar1->hide();
  auto *host = new QHBoxLayout(statusPanels[1]);
  host->setContentsMargins(0, 0, 0, 0);
  host->addWidget(ProgressBar1);
}

template <typename Command> void TfrmBrowser::IgnoringErrors(Command command)
{
  try {
    command();
  } catch (...) {
  }
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

void TfrmBrowser::GoToAddress()
{
  WebBrowser1->Navigate(QString::fromStdString(TrimBlanks(cboAddress->currentText().toStdString())));
}

bool TfrmBrowser::eventFilter(QObject *watched, QEvent *event)
{
  if (event->type() != QEvent::KeyPress)
    return QMainWindow::eventFilter(watched, event);
  const int key = static_cast<QKeyEvent *>(event)->key();
  if (watched == cboAddress || watched == cboAddress->lineEdit()) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      GoToAddress();
      return true;
    }
    if (MoveInAddressHistory(cboAddress, key))
      return true;
  }
  auto *widget = qobject_cast<QWidget *>(watched);
  if (key == Qt::Key_F5 && widget && widget->window() == this) {
    IgnoringErrors([this] { WebBrowser1->Refresh(); });
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

void TfrmBrowser::WebBrowser1TitleChange(const QString &text)
{
  setWindowTitle(text);
  RecordAddress(cboAddress, WebBrowser1->LocationURL());
}

void TfrmBrowser::WebBrowser1CommandStateChange(int command, bool enable)
{
  if (command == TWebBrowser::CSC_NAVIGATEFORWARD)
    btnForward->setEnabled(enable);
  else if (command == TWebBrowser::CSC_NAVIGATEBACK)
    btnBack->setEnabled(enable);
}

void TfrmBrowser::WebBrowser1ProgressChange(int progress, int progressMax)
{
  statusPanels[1]->setFrameStyle(progress > 0 ? QFrame::NoFrame : QFrame::Panel | QFrame::Sunken);
  ProgressBar1->setVisible(progress > 0);
  ProgressBar1->setMinimum(0);
  ProgressBar1->setMaximum(progressMax);
  ProgressBar1->setValue(progress);
}

void TfrmBrowser::WebBrowser1NewWindow(QWebEngineNewWindowRequest &request)
{
  IgnoringErrors([&] { OpenPopupBrowser(request, HomeAddress); });
}

void TfrmBrowser::btnHomeClick()
{
  IgnoringErrors([this] {
    cboAddress->setEditText(HomeAddress);
    GoToAddress();
  });
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
