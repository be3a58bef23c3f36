#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

class QLabel;
class QPushButton;
class TLinkLabel;

// The About box: icon, product title, version, copyright and the vendor's two links.
class TfrmAbout : public QDialog
{
  Q_OBJECT

public:
  // Icon is the program's main icon; a null icon falls back to the standard application icon.
  explicit TfrmAbout(const QIcon &icon, QWidget *parent = nullptr);

  // Set by the opener before showing.
  QString ProductTitle;
  QString Version;
  QString Year;

protected:
  void showEvent(QShowEvent *event) override;

private:
  void lblEmailAddrClick();
  void lblWebsiteAddrClick();

  QIcon mainIcon;
  QLabel *imgIcon;
  QLabel *lblTitle;
  QLabel *lblVersion;
  QLabel *lblCopyright;
  TLinkLabel *lblEmailAddr;
  TLinkLabel *lblWebsiteAddr;
  QPushButton *btnOK;
};
