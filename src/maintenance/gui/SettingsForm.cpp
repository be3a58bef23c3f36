#include "maintenance/gui/SettingsForm.h"

#include "config/ConfigFile.h"
#include "maintenance/gui/DialogLook.h"
#include "maintenance/gui/SpinEdit.h"
#include "widgets/MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

using namespace Widgets;

TfrmSettings::TfrmSettings(QWidget *parent) : QDialog(parent)
{
  setObjectName("frmSettings");
  setWindowTitle("Server Settings");
  SetDialogLook(this, 266, 200);

  bvlServer = new QFrame(this);
  bvlServer->setObjectName("bvlServer");
  bvlServer->setGeometry(8, 8, 250, 148);
  bvlServer->setFrameStyle(QFrame::Box | QFrame::Sunken);

  lblIP = new QLabel("IP address:", this);
  lblIP->setObjectName("lblIP");
  lblIP->setGeometry(20, 22, 70, 16);
  cboIP = new QComboBox(this);
  cboIP->setObjectName("cboIP");
  cboIP->setEditable(false);
  cboIP->addItems({"127.0.0.1 - LOOPBACK (Y)", "127.0.0.1 - LOOPBACK (N)"});
  cboIP->setGeometry(96, 18, 150, 22);
  lblIP->setBuddy(cboIP);

  lblPort = new QLabel("Server port:", this);
  lblPort->setObjectName("lblPort");
  lblPort->setGeometry(20, 54, 70, 16);
  SpinEdit1 = new TSpinEdit(this);
  SpinEdit1->setObjectName("SpinEdit1");
  SpinEdit1->setRange(1, 65535);
  SpinEdit1->setGeometry(96, 50, 80, 22);
  lblPort->setBuddy(SpinEdit1);

  // Off, MySQL runs as small stacks once had it: without InnoDB, so without transactions.
  chkInnoDB = new QCheckBox("MySQL with InnoDB (transactions)", this);
  chkInnoDB->setObjectName("chkInnoDB");
  chkInnoDB->setGeometry(20, 80, 226, 20);

  // On, MySQL's root needs a password over TCP and the site answers only this account's browser.
  chkPrivateMode = new QCheckBox("Only my account (others kept out)", this);
  chkPrivateMode->setObjectName("chkPrivateMode");
  chkPrivateMode->setGeometry(20, 104, 226, 20);

  // Off by default: a loaded debugger slows every request, even those that do not ask for it.
  chkXdebug = new QCheckBox("Debugger (Xdebug)", this);
  chkXdebug->setObjectName("chkXdebug");
  chkXdebug->setGeometry(20, 128, 226, 20);

  btnOK = MakeDialogButton(this, "btnOK", "OK", 102, 166);
  btnCancel = MakeDialogButton(this, "btnCancel", "Cancel", 183, 166);

  connect(cboIP, &QComboBox::currentIndexChanged, this, &TfrmSettings::cboIPChange);
  connect(SpinEdit1, &TSpinEdit::changed, this, &TfrmSettings::cboIPChange);
  connect(chkInnoDB, &QCheckBox::toggled, this, &TfrmSettings::cboIPChange);
  connect(chkPrivateMode, &QCheckBox::toggled, this, &TfrmSettings::cboIPChange);
  connect(chkXdebug, &QCheckBox::toggled, this, &TfrmSettings::cboIPChange);
  connect(SpinEdit1, &TSpinEdit::exited, this, &TfrmSettings::SpinEdit1Exit);
  connect(btnOK, &QPushButton::clicked, this, &TfrmSettings::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmSettings::btnCancelClick);
}

// The port field settles its value when it loses the focus, which it also does while the dialog is
// being destroyed: by then the handlers of this class must no longer be called.
TfrmSettings::~TfrmSettings()
{
  SpinEdit1->disconnect(this);
}

void TfrmSettings::showEvent(QShowEvent *event)
{
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TfrmSettings::FormShow()
{
  CentreOnScreen(this);
  cboIP->setCurrentIndex(IP == Corvala::LoopbackAddress ? 0 : 1);
  SpinEdit1->SetValue(Port);
  chkInnoDB->setChecked(InnoDB);
  chkPrivateMode->setChecked(PrivateMode);
  chkXdebug->setChecked(Xdebug);
  btnOK->setEnabled(false);
}

void TfrmSettings::cboIPChange()
{
  btnOK->setEnabled(true);
}

void TfrmSettings::SpinEdit1Exit()
{
  if (SpinEdit1->text().trimmed().isEmpty())
    SpinEdit1->Undo();
}

void TfrmSettings::btnOKClick()
{
  if (ShowMessageBox(ConfirmationText, ConfirmationFlags) != IDYES)
    return;
  IP = cboIP->currentIndex() == 0 ? Corvala::LoopbackAddress : "all";
  Port = SpinEdit1->Value();
  InnoDB = chkInnoDB->isChecked();
  PrivateMode = chkPrivateMode->isChecked();
  Xdebug = chkXdebug->isChecked();
  accept();
}

void TfrmSettings::btnCancelClick()
{
  reject();
}
