#include "shell/AboutForm.h"

#include "shell/LinkLabel.h"
#include "shell/Vendor.h"

#include <QDesktopServices>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <algorithm>

namespace
{

QLabel *MakeLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
  auto *label = new QLabel(text, parent);
  label->setObjectName(name);
  label->move(left, top);
  label->adjustSize();
  return label;
}

// A link label right of its caption: at 94 as designed, further right when a wider font needs it.
TLinkLabel *MakeLink(QLabel *caption, const char *name, const QString &text)
{
  auto *link = new TLinkLabel(caption->parentWidget());
  link->setObjectName(name);
  link->setText(text);
  link->move(std::max(94, caption->x() + caption->width() + 4), caption->y());
  link->adjustSize();
  return link;
}

// Left position that centres Width in the dialog's client width (halves rounded toward zero).
int Centred(const QWidget *dialog, int width)
{
  return (dialog->width() - width) / 2;
}

} // namespace

TfrmAbout::TfrmAbout(const QIcon &icon, QWidget *parent)
    : QDialog(parent), mainIcon(icon.isNull() ? style()->standardIcon(QStyle::SP_DesktopIcon) : icon)
{
  setObjectName("frmAbout");
  setWindowTitle("About");
  setFixedSize(295, 194);
  QFont tahoma("Tahoma");
  tahoma.setPointSize(8);
  setFont(tahoma);

  // The white card behind the text, framed.
  auto *bvlBackground = new QFrame(this);
  bvlBackground->setObjectName("bvlBackground");
  bvlBackground->setGeometry(7, 7, 282, 147);
  bvlBackground->setFrameStyle(QFrame::Box | QFrame::Sunken);
  bvlBackground->setAutoFillBackground(true);
  QPalette white = bvlBackground->palette();
  white.setColor(QPalette::Window, Qt::white);
  bvlBackground->setPalette(white);

  imgIcon = new QLabel(this);
  imgIcon->setObjectName("imgIcon");
  imgIcon->setGeometry(14, 19, 32, 32);

  lblTitle = MakeLabel(this, "lblTitle", QString(), 0, 27);
  QFont bold("Tahoma");
  bold.setPointSize(10);
  bold.setBold(true);
  lblTitle->setFont(bold);
  lblTitle->setAlignment(Qt::AlignCenter);
  lblVersion = MakeLabel(this, "lblVersion", QString(), 0, 56);
  lblCopyright = MakeLabel(this, "lblCopyright", QString(), 0, 73);

  lblEmailAddr =
      MakeLink(MakeLabel(this, "lblEmail", "Our Mail:", 45, 105), "lblEmailAddr", Vendor::ContactMail);
  connect(lblEmailAddr, &TLinkLabel::clicked, this, &TfrmAbout::lblEmailAddrClick);
  lblWebsiteAddr =
      MakeLink(MakeLabel(this, "lblWebsite", "Our Site:", 45, 122), "lblWebsiteAddr", Vendor::Website);
  connect(lblWebsiteAddr, &TLinkLabel::clicked, this, &TfrmAbout::lblWebsiteAddrClick);

  btnOK = new QPushButton("OK", this);
  btnOK->setObjectName("btnOK");
  btnOK->setGeometry(110, 163, 74, 23);
  btnOK->setDefault(true);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TfrmAbout::showEvent(QShowEvent *event)
{
  imgIcon->setPixmap(mainIcon.pixmap(32, 32));

  lblTitle->setText(ProductTitle);
  lblTitle->adjustSize();
  lblTitle->move(Centred(this, lblTitle->width()), lblTitle->y());
  // The icon sits just left of the centred title.
  imgIcon->move(lblTitle->x() - imgIcon->width() - 10, imgIcon->y());

  lblVersion->setText("Version " + Version);
  lblVersion->adjustSize();
  lblVersion->move(Centred(this, lblVersion->width()), lblVersion->y());

  lblCopyright->setText(QString("Copyright \u00A9 %1 %2").arg(Year, Vendor::Name));
  lblCopyright->adjustSize();
  lblCopyright->move(Centred(this, lblCopyright->width()), lblCopyright->y());

  QDialog::showEvent(event);
}

void TfrmAbout::lblEmailAddrClick()
{
  OpenContactMail();
}

void TfrmAbout::lblWebsiteAddrClick()
{
  // The website link opens the user's default browser, not the launcher.
  QDesktopServices::openUrl(QUrl(Vendor::Website));
}
