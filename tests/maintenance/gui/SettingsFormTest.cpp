#include "maintenance/gui/SettingsForm.h"
#include "support/GuiWait.h"
#include "widgets/BoxAnswerer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace
{

// A settings dialog shown modelessly with the given values, so the test can work its controls.
class SettingsDialog : public ::testing::Test
{
protected:
  void Open(const std::string &ip, int port, bool innoDb = true, bool privateMode = false,
            bool xdebug = false)
  {
    form = std::make_unique<TfrmSettings>();
    form->IP = ip;
    form->Port = port;
    form->InnoDB = innoDb;
    form->PrivateMode = privateMode;
    form->Xdebug = xdebug;
    form->show();
    form->activateWindow();
    ASSERT_TRUE(WaitUntil([this] { return form->isActiveWindow(); }, 60s, "the dialog to be active"));
    cboIP = form->findChild<QComboBox *>("cboIP");
    port_ = form->findChild<QSpinBox *>("SpinEdit1");
    ok = form->findChild<QPushButton *>("btnOK");
    cancel = form->findChild<QPushButton *>("btnCancel");
    innoDb_ = form->findChild<QCheckBox *>("chkInnoDB");
    private_ = form->findChild<QCheckBox *>("chkPrivateMode");
    xdebug_ = form->findChild<QCheckBox *>("chkXdebug");
    ASSERT_TRUE(cboIP && port_ && ok && cancel && innoDb_ && private_ && xdebug_);
  }

  // Types into the port field, replacing its text, and leaves it.
  void TypePort(const QString &keys)
  {
    port_->setFocus();
    port_->selectAll();
    QTest::keyClick(port_, Qt::Key_Delete);
    QTest::keyClicks(port_, keys);
    cboIP->setFocus();
  }

  std::unique_ptr<TfrmSettings> form;
  QComboBox *cboIP = nullptr;
  QSpinBox *port_ = nullptr;
  QPushButton *ok = nullptr;
  QPushButton *cancel = nullptr;
  QCheckBox *innoDb_ = nullptr;
  QCheckBox *private_ = nullptr;
  QCheckBox *xdebug_ = nullptr;
};

} // namespace

TEST_F(SettingsDialog, ShowsItsControlsWithTheirCaptionsAndLimits)
{
  Open("127.0.0.1", 80);
  EXPECT_EQ(form->windowTitle(), "Server Settings");
  EXPECT_EQ(form->minimumSize(), form->maximumSize());
  ASSERT_EQ(cboIP->count(), 2);
  EXPECT_EQ(cboIP->itemText(0), "127.0.0.1 - LOOPBACK (Y)");
  EXPECT_EQ(cboIP->itemText(1), "127.0.0.1 - LOOPBACK (N)");
  EXPECT_FALSE(cboIP->isEditable());
  EXPECT_EQ(port_->minimum(), 1);
  EXPECT_EQ(port_->maximum(), 65535);
  EXPECT_EQ(form->findChild<QLabel *>("lblIP")->text(), "IP address:");
  EXPECT_EQ(form->findChild<QLabel *>("lblPort")->text(), "Server port:");
  EXPECT_EQ(ok->text(), "OK");
  EXPECT_EQ(cancel->text(), "Cancel");
  EXPECT_EQ(innoDb_->text(), "MySQL with InnoDB (transactions)");
  EXPECT_EQ(private_->text(), "Only my account (others kept out)");
  EXPECT_EQ(xdebug_->text(), "Debugger (Xdebug)");
  // The buttons are no tab stops; the five fields are, list first.
  EXPECT_FALSE(ok->focusPolicy() & Qt::TabFocus);
  EXPECT_FALSE(cancel->focusPolicy() & Qt::TabFocus);
  cboIP->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(port_->isAncestorOf(QApplication::focusWidget()) || port_->hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(innoDb_->hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(private_->hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(xdebug_->hasFocus());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_TRUE(cboIP->hasFocus());
}

TEST_F(SettingsDialog, LoopbackSelectsTheFirstItemAndEverythingElseTheSecond)
{
  Open("127.0.0.1", 8080);
  EXPECT_EQ(cboIP->currentIndex(), 0);
  EXPECT_EQ(port_->text(), "8080");
  for (const char *ip : {"all", "192.168.0.5", "127.0.0.1 ", ""}) {
    Open(ip, 80);
    EXPECT_EQ(cboIP->currentIndex(), 1) << ip;
  }
}

TEST_F(SettingsDialog, OkIsDisabledUntilEitherControlChanges)
{
  Open("127.0.0.1", 80);
  EXPECT_FALSE(ok->isEnabled());
  cboIP->setCurrentIndex(1);
  EXPECT_TRUE(ok->isEnabled());

  Open("127.0.0.1", 80);
  port_->setFocus();
  QTest::keyClick(port_, Qt::Key_Up);
  EXPECT_TRUE(ok->isEnabled());

  Open("127.0.0.1", 80);
  port_->setFocus();
  QTest::keyClicks(port_, "1");
  EXPECT_TRUE(ok->isEnabled()) << "typing alone counts as a change";

  Open("127.0.0.1", 80);
  QTest::mouseClick(innoDb_, Qt::LeftButton, {}, QPoint(4, innoDb_->height() / 2));
  EXPECT_TRUE(ok->isEnabled());

  Open("127.0.0.1", 80);
  QTest::mouseClick(private_, Qt::LeftButton, {}, QPoint(4, private_->height() / 2));
  EXPECT_TRUE(ok->isEnabled());

  Open("127.0.0.1", 80);
  QTest::mouseClick(xdebug_, Qt::LeftButton, {}, QPoint(4, xdebug_->height() / 2));
  EXPECT_TRUE(ok->isEnabled());
}

TEST_F(SettingsDialog, TheDebuggerBoxShowsTheKeyAndOkTakesItsState)
{
  Open("127.0.0.1", 80);
  EXPECT_FALSE(xdebug_->isChecked());
  xdebug_->click();
  TBoxAnswerer yes(QMessageBox::Yes);
  ok->click();
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_TRUE(form->Xdebug);
  EXPECT_FALSE(form->PrivateMode);

  Open("127.0.0.1", 80, true, false, true);
  EXPECT_TRUE(xdebug_->isChecked());
  xdebug_->click();
  TBoxAnswerer again(QMessageBox::Yes);
  ok->click();
  EXPECT_FALSE(form->Xdebug);

  // Cancel leaves the value the opener gave.
  Open("127.0.0.1", 80, true, false, true);
  xdebug_->click();
  cancel->click();
  EXPECT_TRUE(form->Xdebug);
}

TEST_F(SettingsDialog, TheOnlyMyAccountBoxShowsTheModeAndOkTakesItsState)
{
  Open("127.0.0.1", 80, true, false);
  EXPECT_FALSE(private_->isChecked());
  private_->click();
  TBoxAnswerer yes(QMessageBox::Yes);
  ok->click();
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_TRUE(form->PrivateMode);
  EXPECT_TRUE(form->InnoDB);

  Open("127.0.0.1", 80, true, true);
  EXPECT_TRUE(private_->isChecked());
  private_->click();
  cancel->click();
  EXPECT_TRUE(form->PrivateMode);
}

TEST_F(SettingsDialog, TheInnoDbBoxShowsTheFlagAndOkTakesItsState)
{
  Open("127.0.0.1", 80, false);
  EXPECT_FALSE(innoDb_->isChecked());
  innoDb_->click();
  TBoxAnswerer yes(QMessageBox::Yes);
  ok->click();
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_TRUE(form->InnoDB);

  Open("127.0.0.1", 80, true);
  EXPECT_TRUE(innoDb_->isChecked());
  innoDb_->click();
  TBoxAnswerer again(QMessageBox::Yes);
  ok->click();
  EXPECT_FALSE(form->InnoDB);

  // Cancel leaves the value the opener gave.
  Open("127.0.0.1", 80, true);
  innoDb_->click();
  cancel->click();
  EXPECT_TRUE(form->InnoDB);
}

TEST_F(SettingsDialog, LeavingThePortFieldSettlesItsText)
{
  Open("all", 8080);
  TypePort("70000");
  EXPECT_EQ(port_->text(), "65535");
  TypePort("0");
  EXPECT_EQ(port_->text(), "1");
  TypePort("12ab");
  EXPECT_EQ(port_->text(), "1");
  TypePort("443");
  EXPECT_EQ(port_->text(), "443");
  // An emptied field gets its previous text back.
  TypePort("   ");
  EXPECT_EQ(port_->text(), "443");
}

TEST_F(SettingsDialog, NoToTheConfirmationKeepsTheDialogOpenWithTheEditedValues)
{
  Open("127.0.0.1", 80);
  TypePort("8081");
  TBoxAnswerer no(QMessageBox::No);
  ok->click();
  ASSERT_EQ(no.boxes.size(), 1u);
  EXPECT_EQ(no.boxes[0].caption, "Confirm");
  EXPECT_EQ(no.boxes[0].text, "Are you sure you want to do this?");
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->result(), QDialog::Rejected);
  EXPECT_EQ(port_->text(), "8081");
  EXPECT_EQ(form->IP, "127.0.0.1");
  EXPECT_EQ(form->Port, 80);
}

TEST_F(SettingsDialog, YesStoresTheValuesAndAnUntouchedSecondItemMeansAll)
{
  Open("192.168.0.5", 80);
  TypePort("8080");
  TBoxAnswerer yes(QMessageBox::Yes);
  ok->click();
  EXPECT_EQ(yes.boxes.size(), 1u);
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(form->IP, "all");
  EXPECT_EQ(form->Port, 8080);

  Open("all", 80);
  cboIP->setCurrentIndex(0);
  TBoxAnswerer again(QMessageBox::Yes);
  ok->click();
  EXPECT_EQ(form->IP, "127.0.0.1");
  EXPECT_EQ(form->Port, 80);
}

TEST_F(SettingsDialog, ClickingOkWhileTypingSettlesThePortFirst)
{
  Open("127.0.0.1", 80);
  port_->setFocus();
  port_->selectAll();
  QTest::keyClicks(port_, "99999");
  TBoxAnswerer yes(QMessageBox::Yes);
  QTest::mouseMove(ok);
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(form->Port, 65535);
}

TEST_F(SettingsDialog, CancelClosesWithoutTakingTheValues)
{
  Open("127.0.0.1", 80);
  cboIP->setCurrentIndex(1);
  TypePort("81");
  cancel->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->result(), QDialog::Rejected);
  EXPECT_EQ(form->IP, "127.0.0.1");
  EXPECT_EQ(form->Port, 80);
}
