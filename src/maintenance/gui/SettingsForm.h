#pragma once

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class TSpinEdit;

// The server settings dialog: the address the servers listen on, the server port, whether MySQL
// runs with InnoDB, whether other accounts of the computer are kept out and whether PHP loads its
// debugger.
class TfrmSettings : public QDialog
{
  Q_OBJECT

public:
  explicit TfrmSettings(QWidget *parent = nullptr);
  ~TfrmSettings() override;

  // Filled by the opener before showing; on OK they hold the accepted values ("127.0.0.1" or "all").
  std::string IP;
  int Port = 0;
  // Config.ini's "innodb" flag.
  bool InnoDB = true;
  // Config.ini's "privatemode" ("only my account").
  bool PrivateMode = false;
  // Config.ini's "xdebug" (the debugger).
  bool Xdebug = false;

protected:
  void showEvent(QShowEvent *event) override;

private:
  void FormShow();
  void cboIPChange();
  void SpinEdit1Exit();
  void btnOKClick();
  void btnCancelClick();

  QFrame *bvlServer;
  QLabel *lblIP;
  QComboBox *cboIP;
  QLabel *lblPort;
  TSpinEdit *SpinEdit1; // the Apache port
  QCheckBox *chkInnoDB;
  QCheckBox *chkPrivateMode;
  QCheckBox *chkXdebug;
  QPushButton *btnOK;
  QPushButton *btnCancel;
};
