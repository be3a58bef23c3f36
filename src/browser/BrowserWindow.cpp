#include "browser/BrowserWindow.h"

#include "base/Trim.h"
#include "browser/AddressHistory.h"
#include "browser/DeveloperTools.h"
#include "browser/FindBar.h"
#include "browser/PagePrinting.h"
#include "browser/WebBrowser.h"
#include "widgets/ErrorReport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>
#include <utility>

namespace
{

bool developerToolsAllowed = true;

QFont Tahoma8()
{
  QFont font("Tahoma");
  font.setPointSize(8);
  return font;
}

void SetLowered(QLabel *panel, bool lowered)
{
  panel->setFrameStyle(lowered ? QFrame::Panel | QFrame::Sunken : QFrame::NoFrame);
}

} // namespace

TBrowserWindow::TBrowserWindow(QWidget *parent) : QMainWindow(parent)
{
  setFont(Tahoma8());
  resize(632, 453);

  auto *client = new QWidget(this);
  clientColumn = new QVBoxLayout(client);
  clientColumn->setContentsMargins(0, 0, 0, 0);
  clientColumn->setSpacing(0);
  setCentralWidget(client);
}

TBrowserWindow::~TBrowserWindow()
{
  qApp->removeEventFilter(this);
}

QToolButton *TBrowserWindow::AddToolButton(const char *name, const QString &caption, const QIcon &image)
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

void TBrowserWindow::CreateToolBand(const std::function<void()> &addMoreButtons)
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
  if (addMoreButtons)
    addMoreButtons();
  row->addWidget(tlbToolbar);
  row->addSpacing(8);

  cboAddress = new QComboBox(pnlToolbar);
  cboAddress->setObjectName("cboAddress");
  cboAddress->setEditable(true);
  cboAddress->setInsertPolicy(QComboBox::NoInsert);
  cboAddress->setCompleter(nullptr);
  cboAddress->setMaxVisibleItems(8);
  cboAddress->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
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

  connect(btnBack, &QToolButton::clicked, this, [this] { WebBrowser1->GoBack(); });
  connect(btnForward, &QToolButton::clicked, this, [this] { WebBrowser1->GoForward(); });
  connect(btnRefresh, &QToolButton::clicked, this, [this] { WebBrowser1->Refresh(); });
  connect(btnStop, &QToolButton::clicked, this, [this] { WebBrowser1->Stop(); });
  connect(btnHome, &QToolButton::clicked, this, &TBrowserWindow::btnHomeClick);
  connect(btnGo, &QToolButton::clicked, this, &TBrowserWindow::GoToAddress);
  // Only a pick from the list navigates; the box's other activations (leaving it after typing an
  // item's exact text, the wheel, Page Up or Down) only select.
  connect(cboAddress, &QComboBox::activated, this, [this] {
    if (std::exchange(pickingFromList, false))
      GoToAddress();
  });
  connect(cboAddress, &QComboBox::editTextChanged, this, [this](const QString &text) {
    if (text.isEmpty())
      cboAddress->setCurrentIndex(-1);
  });
}

void TBrowserWindow::CreateStatusBar()
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
  statusPanels[2]->setFixedWidth(80);
  StatusBar1->addWidget(statusPanels[0], 1);
  StatusBar1->addPermanentWidget(statusPanels[1]);
  StatusBar1->addPermanentWidget(statusPanels[2]);
  setStatusBar(StatusBar1);

  // The progress bar lies over panel 1 and follows it.
  ProgressBar1 = new QProgressBar(StatusBar1);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setTextVisible(false);
  ClearProgress();
  statusPanels[1]->installEventFilter(this);
}

void TBrowserWindow::AttachChrome()
{
  connect(WebBrowser1, &TWebBrowser::StatusTextChange, statusPanels[0], &QLabel::setText);
  connect(WebBrowser1, &TWebBrowser::TitleChange, this, &TBrowserWindow::WebBrowser1TitleChange);
  connect(WebBrowser1, &TWebBrowser::CommandStateChange, this,
          &TBrowserWindow::WebBrowser1CommandStateChange);
  connect(WebBrowser1, &TWebBrowser::ProgressChange, this, &TBrowserWindow::WebBrowser1ProgressChange);

  // Under the page, over the status bar.
  findBar = new TFindBar(WebBrowser1, centralWidget());
  clientColumn->addWidget(findBar);

  // Key preview: the window's keys work wherever the focus is in this window, the page included.
  qApp->installEventFilter(this);
}

void TBrowserWindow::SetDeveloperToolsAllowed(bool allowed)
{
  developerToolsAllowed = allowed;
}

bool TBrowserWindow::DeveloperToolsAllowed()
{
  return developerToolsAllowed;
}

void TBrowserWindow::ToggleFullScreen()
{
  if (isFullScreen())
    showNormal();
  else
    showFullScreen();
}

void TBrowserWindow::SelectAddressBox()
{
  if (!cboAddress->isVisible())
    return;
  cboAddress->setFocus(Qt::ShortcutFocusReason);
  cboAddress->lineEdit()->selectAll();
}

bool TBrowserWindow::HandleWindowKey(const QKeyEvent &event)
{
  const int key = event.key();
  const Qt::KeyboardModifiers modifiers =
      event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
  const bool none = modifiers == Qt::NoModifier;
  const bool ctrl =
      modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
  const bool alt = modifiers == Qt::AltModifier;
  if ((ctrl && key == Qt::Key_L) || (alt && key == Qt::Key_D) || (none && key == Qt::Key_F6)) {
    SelectAddressBox();
    return true;
  }
  if (alt && (key == Qt::Key_Left || key == Qt::Key_Right)) {
    key == Qt::Key_Left ? WebBrowser1->GoBack() : WebBrowser1->GoForward();
    return true;
  }
  if ((none && key == Qt::Key_F5) || (ctrl && key == Qt::Key_R)) {
    WebBrowser1->Refresh();
    return true;
  }
  // Esc stops a load; otherwise it belongs to the page.
  if (none && key == Qt::Key_Escape && WebBrowser1->Busy()) {
    WebBrowser1->Stop();
    return true;
  }
  if (ctrl && key == Qt::Key_F) {
    findBar->Open();
    return true;
  }
  if (ctrl && key == Qt::Key_P) {
    PrintPage(WebBrowser1);
    return true;
  }
  if (ctrl && (key == Qt::Key_Plus || key == Qt::Key_Equal)) {
    WebBrowser1->ZoomIn();
    return true;
  }
  if (ctrl && (key == Qt::Key_Minus || key == Qt::Key_Underscore)) {
    WebBrowser1->ZoomOut();
    return true;
  }
  if (ctrl && key == Qt::Key_0) {
    WebBrowser1->ZoomReset();
    return true;
  }
  if (none && key == Qt::Key_F11) {
    ToggleFullScreen();
    return true;
  }
  if (none && key == Qt::Key_F12 && developerToolsAllowed) {
    OpenDeveloperTools(WebBrowser1);
    return true;
  }
  return false;
}

void TBrowserWindow::ClearProgress()
{
  SetLowered(statusPanels[1], true);
  ProgressBar1->hide();
}

void TBrowserWindow::GoToAddress()
{
  // Called from the address box's keys and buttons: an address that cannot be navigated is
  // reported here, and the page stays. Once sent, the text is no longer the user's typing: the
  // pages' addresses show in the box again.
  cboAddress->lineEdit()->setModified(false);
  try {
    WebBrowser1->Navigate(QString::fromStdString(Base::TrimBlanks(cboAddress->currentText().toStdString())));
  } catch (const std::runtime_error &error) {
    ShowErrorReport(QString::fromStdString(error.what()));
  }
}

bool TBrowserWindow::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == statusPanels[1] && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
    PlaceProgressBar();
  // A pick from the list is activated while its event is delivered. The box's own activations
  // come from input to the box itself, which ends any pick that was not activated.
  if (IsListPick(watched, event))
    pickingFromList = true;
  else if (cboAddress && (watched == cboAddress || watched == cboAddress->lineEdit()) &&
           (event->type() == QEvent::FocusOut || event->type() == QEvent::KeyPress ||
            event->type() == QEvent::Wheel))
    pickingFromList = false;
  if (event->type() != QEvent::KeyPress)
    return QMainWindow::eventFilter(watched, event);

  const int key = static_cast<QKeyEvent *>(event)->key();
  if (cboAddress && (watched == cboAddress || watched == cboAddress->lineEdit())) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      GoToAddress();
      return true;
    }
    // Esc gives up the typing: the box shows the page's address again.
    if (key == Qt::Key_Escape && cboAddress->lineEdit()->isModified()) {
      RecordAddress(cboAddress, WebBrowser1->LocationURL());
      cboAddress->lineEdit()->setModified(false);
      cboAddress->lineEdit()->selectAll();
      return true;
    }
    if (MoveInAddressHistory(cboAddress, key))
      return true;
  }
  // A key goes first to the widget with the focus (the page's own, for the page). Key events also
  // reach the page's items while they are destroyed, so Watched is only compared, never called.
  QWidget *focus = QApplication::focusWidget();
  QWidget *widget = watched == focus                       ? focus
                    : watched == WebBrowser1->focusProxy() ? WebBrowser1->focusProxy()
                                                           : nullptr;
  if (widget && widget->window() == this && HandleWindowKey(*static_cast<QKeyEvent *>(event)))
    return true;
  return QMainWindow::eventFilter(watched, event);
}

bool TBrowserWindow::IsListPick(QObject *watched, QEvent *event) const
{
  if (!cboAddress)
    return false;
  QAbstractItemView *list = cboAddress->view();
  if (watched == list->viewport() && event->type() == QEvent::MouseButtonRelease)
    return true;
  // The list takes Enter as the shortcut check that comes before the key press.
  if (watched != list || (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress))
    return false;
  const int key = static_cast<QKeyEvent *>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

void TBrowserWindow::PlaceProgressBar()
{
  ProgressBar1->setGeometry(statusPanels[1]->geometry());
  ProgressBar1->raise();
}

void TBrowserWindow::WebBrowser1TitleChange(const QString &text)
{
  setWindowTitle(text);
  // What the user is typing stays: a page with a clock in its title, or one changing its address in
  // a loop, would otherwise replace it under the cursor. Esc or leaving for a page shows the address.
  if (!TypingAddress())
    RecordAddress(cboAddress, WebBrowser1->LocationURL());
}

bool TBrowserWindow::TypingAddress() const
{
  return cboAddress->lineEdit()->hasFocus() && cboAddress->lineEdit()->isModified();
}

void TBrowserWindow::WebBrowser1CommandStateChange(int command, bool enable)
{
  if (command == TWebBrowser::CSC_NAVIGATEFORWARD)
    btnForward->setEnabled(enable);
  else if (command == TWebBrowser::CSC_NAVIGATEBACK)
    btnBack->setEnabled(enable);
}

void TBrowserWindow::WebBrowser1ProgressChange(int progress, int progressMax)
{
  SetLowered(statusPanels[1], progress <= 0);
  ProgressBar1->setVisible(progress > 0);
  ProgressBar1->setMinimum(0);
  ProgressBar1->setMaximum(progressMax);
  ProgressBar1->setValue(progress);
}

void TBrowserWindow::btnHomeClick()
{
  cboAddress->setEditText(HomePage());
  GoToAddress();
}
