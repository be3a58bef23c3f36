#include "shell/AboutForm.h"
#include "OutDir.h"
#include "shell/Vendor.h"
#include "support/GuiWait.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTextBrowser>
#include <gtest/gtest.h>

namespace
{

QPixmap TestIcon()
{
  QPixmap picture(32, 32);
  picture.fill(Qt::darkGreen);
  return picture;
}

QLabel *Label(const QWidget &form, const char *name)
{
  auto *label = form.findChild<QLabel *>(name);
  EXPECT_NE(label, nullptr) << name;
  return label;
}

void Click(QWidget *widget, Qt::MouseButton button, QEvent::Type type)
{
  const QPointF inside(2, 2);
  QMouseEvent event(type, inside, widget->mapToGlobal(inside), button,
                    type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

QColor TextColor(const QLabel *label)
{
  return label->palette().color(QPalette::WindowText);
}

} // namespace

TEST(AboutForm, ShowsTitleVersionAndCopyrightCentredWithTheIconBesideTheTitle)
{
  for (const QString &title : {QString("Corvala"), QString("A much longer product title for a brand")}) {
    TfrmAbout about{QIcon(TestIcon())};
    about.ProductTitle = title;
    about.Version = "7.00";
    about.Year = "2010";
    about.show();
    ASSERT_TRUE(WaitUntil([&] { return about.isVisible(); }, 60s, "the About box to show"));

    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(295, 194));
    QLabel *lblTitle = Label(about, "lblTitle");
    QLabel *imgIcon = Label(about, "imgIcon");
    QLabel *lblVersion = Label(about, "lblVersion");
    QLabel *lblCopyright = Label(about, "lblCopyright");
    EXPECT_EQ(lblTitle->text(), title);
    EXPECT_EQ(lblTitle->x(), (295 - lblTitle->width()) / 2);
    EXPECT_EQ(imgIcon->x(), lblTitle->x() - 32 - 10);
    EXPECT_EQ(imgIcon->pixmap().toImage().pixelColor(16, 16), QColor(Qt::darkGreen));
    EXPECT_EQ(lblVersion->text(), "Version 7.00");
    EXPECT_EQ(lblVersion->x(), (295 - lblVersion->width()) / 2);
    EXPECT_TRUE(lblCopyright->text().contains("2010"));
    EXPECT_TRUE(lblCopyright->text().contains("Corvala Project"));
    EXPECT_EQ(Label(about, "lblEmailAddr")->text(), "support@corvala.example");
    EXPECT_EQ(Label(about, "lblWebsiteAddr")->text(), "https://www.corvala.example/");
    EXPECT_TRUE(about.findChild<QPushButton *>("btnOK")->isDefault());

    if (title == "Corvala") {
      EXPECT_TRUE(about.grab().save(OutDir() + "/about.png"));
    }
  }
}

TEST(AboutForm, LinkLabelsTurnRedWhileHeldAndOpenTheirTargets)
{
  // The desktop's opener is replaced for the test so the addresses handed to it can be read.
  QTextBrowser mailOpener;
  QTextBrowser webOpener;
  QDesktopServices::setUrlHandler("mailto", &mailOpener, "setSource");
  QDesktopServices::setUrlHandler("https", &webOpener, "setSource");

  TfrmAbout about{QIcon()};
  about.show();
  QLabel *mail = Label(about, "lblEmailAddr");
  QLabel *site = Label(about, "lblWebsiteAddr");
  EXPECT_EQ(TextColor(mail), QColor(Qt::blue));
  EXPECT_TRUE(mail->font().underline());
  EXPECT_EQ(mail->cursor().shape(), Qt::PointingHandCursor);

  Click(mail, Qt::RightButton, QEvent::MouseButtonPress);
  EXPECT_EQ(TextColor(mail), QColor(Qt::blue));
  Click(mail, Qt::LeftButton, QEvent::MouseButtonPress);
  EXPECT_EQ(TextColor(mail), QColor(Qt::red));
  Click(mail, Qt::LeftButton, QEvent::MouseButtonRelease);
  EXPECT_EQ(TextColor(mail), QColor(Qt::blue));
  EXPECT_EQ(mailOpener.source(), QUrl("mailto:support@corvala.example"));

  Click(site, Qt::LeftButton, QEvent::MouseButtonPress);
  Click(site, Qt::LeftButton, QEvent::MouseButtonRelease);
  EXPECT_EQ(webOpener.source(), QUrl("https://www.corvala.example/"));

  QDesktopServices::unsetUrlHandler("mailto");
  QDesktopServices::unsetUrlHandler("https");
}

TEST(AboutForm, OkClosesWithAccept)
{
  TfrmAbout about{QIcon()};
  about.show();
  about.findChild<QPushButton *>("btnOK")->click();
  EXPECT_EQ(about.result(), QDialog::Accepted);
  EXPECT_FALSE(about.isVisible());
}
