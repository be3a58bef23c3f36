#include "maintenance/gui/DownSizeForm.h"
#include "maintenance/MaintenanceTestSupport.h"
#include "maintenance/StackTreeCopy.h"
#include "support/GuiWait.h"
#include "widgets/BoxAnswerer.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>

namespace
{

class DownSizeDialog : public ::testing::Test
{
protected:
  void Open(const std::string &appPath)
  {
    form = std::make_unique<TfrmDownSize>(appPath);
    form->show();
    ASSERT_TRUE(WaitUntil([this] { return form->windowHandle() && form->windowHandle()->isExposed(); }, 60s,
                          "the dialog to be exposed"));
    ok = form->findChild<QPushButton *>("btnOK");
    ASSERT_NE(ok, nullptr);
  }

  QCheckBox *Box(const char *name) const
  {
    auto *box = form->findChild<QCheckBox *>(name);
    EXPECT_NE(box, nullptr) << name;
    return box;
  }

  QStringList NamesIn(const char *group) const
  {
    QStringList names;
    for (const QCheckBox *box : form->findChild<QGroupBox *>(group)->findChildren<QCheckBox *>())
      names << box->objectName();
    return names;
  }

  std::unique_ptr<TfrmDownSize> form;
  QPushButton *ok = nullptr;
};

} // namespace

TEST_F(DownSizeDialog, FifteenBoxesInFourGroupsWithTheirCaptions)
{
  TestFolder empty("corvala-downsize");
  Open(empty.Path().string() + "/");
  EXPECT_EQ(form->windowTitle(), "Down Size");
  EXPECT_EQ(NamesIn("GroupBox1"), QStringList({"chkMySQL", "chkSQLite"}));
  EXPECT_EQ(NamesIn("GroupBox2"), QStringList({"chkZend", "chkIonCube"}));
  EXPECT_EQ(NamesIn("GroupBox3"),
            QStringList({"chkGd2", "chkMbstring", "chkImap", "chkCurl", "chkMcrypt", "chkMhash", "chkSockets",
                         "chkMime", "chkOpenSSL", "chkXmlrpc", "chkXdebug"}));
  EXPECT_EQ(NamesIn("GroupBox4"), QStringList({"chkPHPMyAdmin", "chkComposer"}));
  // The groups run top to bottom, and so do the boxes inside each.
  for (int group = 1; group < 4; ++group)
    EXPECT_LT(form->findChild<QGroupBox *>(QString("GroupBox%1").arg(group))->y(),
              form->findChild<QGroupBox *>(QString("GroupBox%1").arg(group + 1))->y());
  EXPECT_LT(Box("chkMime")->y(), Box("chkOpenSSL")->y());

  EXPECT_EQ(Box("chkMySQL")->text(), "Delete MySQL");
  EXPECT_EQ(Box("chkIonCube")->text(), "Delete ionCube PHP Loader");
  EXPECT_EQ(Box("chkMbstring")->text(), "Delete Multibyte (mbstring.so)");
  EXPECT_EQ(Box("chkMime")->text(), "Delete mime_magic");
  EXPECT_EQ(Box("chkPHPMyAdmin")->text(), "Delete phpMyAdmin");
  EXPECT_EQ(Box("chkXdebug")->text(), "Delete Xdebug (debugger)");
  EXPECT_EQ(Box("chkComposer")->text(), "Delete Composer");
  for (const QCheckBox *box : form->findChildren<QCheckBox *>())
    EXPECT_FALSE(box->focusPolicy() & Qt::TabFocus) << box->objectName().toStdString();
  EXPECT_FALSE(ok->focusPolicy() & Qt::TabFocus);
  EXPECT_EQ(form->findChildren<QCheckBox *>().size(), 17);
}

TEST_F(DownSizeDialog, OnlyComponentsThatExistAreOffered)
{
  TestFolder tree("corvala-downsize");
  tree.Write("data/mysql/user.MAI", "x");
  tree.Write("bin/php/ext/gd.so", "x");
  tree.Write("bin/php/Zend/zend.so", "x");
  tree.Write("bin/php/ext/imap.so", "x");
  Open(tree.Path().string() + "/");
  EXPECT_FALSE(Box("chkMySQL")->isEnabled()) << "data alone does not offer MySQL";
  EXPECT_TRUE(Box("chkGd2")->isEnabled());
  EXPECT_TRUE(Box("chkZend")->isEnabled());
  EXPECT_TRUE(Box("chkImap")->isEnabled());
  EXPECT_FALSE(Box("chkSQLite")->isEnabled());
  EXPECT_FALSE(Box("chkPHPMyAdmin")->isEnabled());
  EXPECT_FALSE(ok->isEnabled());

  // A file where a folder is expected offers nothing.
  tree.Write("bin/mysql", "not a folder");
  Open(tree.Path().string() + "/");
  EXPECT_FALSE(Box("chkMySQL")->isEnabled());
}

TEST_F(DownSizeDialog, TheKitTreeOffersWhatItHolds)
{
  TStackTreeCopy tree;
  Open(tree.AppPath());
  for (const char *offered : {"chkMySQL", "chkSQLite", "chkGd2", "chkMbstring", "chkCurl", "chkSockets",
                              "chkPHPMyAdmin", "chkXdebug", "chkComposer"})
    EXPECT_TRUE(Box(offered)->isEnabled()) << offered;
  // The Linux stack has none of these files (OpenSSL is built into PHP here).
  for (const char *absent :
       {"chkZend", "chkIonCube", "chkImap", "chkMcrypt", "chkMhash", "chkMime", "chkOpenSSL", "chkXmlrpc"})
    EXPECT_FALSE(Box(absent)->isEnabled()) << absent;
}

TEST_F(DownSizeDialog, OkFollowsTheCheckedBoxesAndAsksFirst)
{
  TStackTreeCopy tree;
  Open(tree.AppPath());
  Box("chkCurl")->click();
  EXPECT_TRUE(ok->isEnabled());
  Box("chkCurl")->click();
  EXPECT_FALSE(ok->isEnabled());
  Box("chkMySQL")->click();
  Box("chkPHPMyAdmin")->click();
  Box("chkComposer")->click();
  EXPECT_TRUE(ok->isEnabled());

  {
    TBoxAnswerer no(QMessageBox::No);
    ok->click();
    ASSERT_EQ(no.boxes.size(), 1u);
    EXPECT_EQ(no.boxes[0].caption, "Confirm");
    EXPECT_EQ(no.boxes[0].text, "Are you sure you want to do this?");
    EXPECT_TRUE(form->isVisible());
  }
  TBoxAnswerer yes(QMessageBox::Yes);
  ok->click();
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(DownSizeParameters(form->Selection()), "downsize -1 0 0 0 0 0 0 0 0 0 0 0 -1 0 0 0 -1");
}

TEST_F(DownSizeDialog, CancelCloses)
{
  TStackTreeCopy tree;
  Open(tree.AppPath());
  Box("chkMySQL")->setChecked(true);
  form->findChild<QPushButton *>("btnCancel")->click();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(form->result(), QDialog::Rejected);
}
