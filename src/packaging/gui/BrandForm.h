#pragma once

#include "packaging/BrandSettings.h"

#include <QDialog>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The rebrand dialog. The caller fills the public fields (one per Brand.ini key) before exec();
// after "Go!" (Accepted) they hold the choices.
class TfrmBrand : public QDialog, public Corvala::TBrandSettings
{
  Q_OBJECT

public:
  explicit TfrmBrand(QWidget *owner = nullptr);

  // The controls' texts for the fields; run when the dialog is shown.
  void FormShow();

  // After "Go!": the folder typed as output folder when it names no existing folder (and is no
  // placeholder), so the build says where it went instead; empty otherwise.
  std::string TypedOutputDir;

  QLineEdit *edtImage;
  QPushButton *btnSelectImage;
  QLineEdit *edtTitle;
  QLineEdit *edtIcon;
  QPushButton *btnSelectIcon;
  QComboBox *cboToolbar;
  QComboBox *cboStatusbar;
  QComboBox *cboTrayIcon;
  QComboBox *cboFullScreen;
  QComboBox *cboIP;
  QSpinBox *SpinEdit1; // the Apache port beside the IP address
  QComboBox *cboCopyFiles;
  QLabel *Label2; // the caption of the website directory
  QLineEdit *edtSrcDir;
  QPushButton *btnSelectSrcDir;
  QLabel *Label4; // the caption of the database directory
  QLineEdit *edtDataDir;
  QPushButton *Button1; // browses for the database directory
  QLineEdit *edtOutputDir;
  QPushButton *btnSelectOutputDir;
  QPushButton *btnOK;
  QPushButton *btnCancel;

protected:
  void showEvent(QShowEvent *event) override;

private:
  QGroupBox *CreateProductGroup();
  QGroupBox *CreateFoldersGroup();
  QGroupBox *CreateOutputGroup();

  void btnOKClick();
  void btnSelectImageClick();
  void btnSelectIconClick();
  void btnSelectSrcDirClick();
  void Button1Click();
  void btnSelectOutputDirClick();
  // Opens the folder picker at the field's folder, else at Fallback; a chosen folder goes to Field.
  void BrowseInto(QLineEdit *field, const std::string &fallback);
};
