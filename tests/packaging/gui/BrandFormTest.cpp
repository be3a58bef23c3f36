#include "packaging/gui/BrandForm.h"

#include "ModalWatcher.h"
#include "config/BrandDefaults.h"
#include "packaging/AppFolder.h"
#include "shell/OutDir.h"
#include "support/GuiWait.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace Corvala;

namespace
{

// A dialog filled from a new Brand.ini, as the build shows it.
struct TShownDialog {
  TShownDialog()
  {
    static_cast<TBrandSettings &>(form) = ReadBrandSettings(TConfigFile(WriteBrandDefaults(work.Path())));
  }
  // Shown and active, so that keys and focus reach it as they reach a dialog the user works in.
  void Show()
  {
    form.show();
    form.activateWindow();
    ASSERT_TRUE(WaitUntil([this] { return form.isActiveWindow(); }, 60s, "the dialog to be active"));
  }
  TestSupport::TScratchFolder work;
  TfrmBrand form;
};

QStringList Items(const QComboBox *list)
{
  QStringList items;
  for (int i = 0; i < list->count(); ++i)
    items << list->itemText(i);
  return items;
}

} // namespace

TEST(BrandForm, NewSettingsShowPlaceholdersAndTheirChoices)
{
  TShownDialog d;
  d.Show();
  TfrmBrand &f = d.form;
  EXPECT_EQ(f.windowTitle(), "Rebrand");
  EXPECT_EQ(f.edtImage->text(), "Select an image for splash screen (*.bmp, *.jpg, *.png)");
  EXPECT_EQ(f.edtTitle->text(), "My Program");
  EXPECT_EQ(f.edtIcon->text(), "Select an icon for the product (*.ico)");
  EXPECT_EQ(f.edtOutputDir->text(), "Where you like to put a generated exe file (eg: desktop)");
  EXPECT_EQ(f.edtSrcDir->text(), "Where your website files are located (eg: www)");
  EXPECT_EQ(f.edtDataDir->text(), "Where your MySQL data files are located (eg: data/mysql)");
  EXPECT_EQ(f.cboToolbar->currentIndex(), 0);
  EXPECT_EQ(f.cboStatusbar->currentIndex(), 0);
  EXPECT_EQ(f.cboTrayIcon->currentIndex(), 1);
  EXPECT_EQ(f.cboFullScreen->currentIndex(), 1);
  EXPECT_EQ(f.cboCopyFiles->currentIndex(), 1);
  EXPECT_EQ(f.cboIP->currentIndex(), 0);
  EXPECT_EQ(f.SpinEdit1->value(), 80);
  EXPECT_EQ(Items(f.cboIP), QStringList({"127.0.0.1 - LOOPBACK (Y)", "127.0.0.1 - LOOPBACK (N)"}));
  EXPECT_EQ(Items(f.cboTrayIcon), QStringList({"Show Tray Icon (Y)", "Show Tray Icon (N)"}));
  EXPECT_FALSE(f.cboToolbar->isEditable());
  f.grab().save(OutDir() + "/brand-dialog.png");
}

TEST(BrandForm, FolderFieldsAreEnabledOnlyWhenTheLauncherHasThoseFolders)
{
  {
    TShownDialog d;
    d.Show();
    EXPECT_FALSE(d.form.edtDataDir->isEnabled());
    EXPECT_FALSE(d.form.Button1->isEnabled());
    EXPECT_FALSE(d.form.Label4->isEnabled());
    EXPECT_FALSE(d.form.edtSrcDir->isEnabled());
    EXPECT_FALSE(d.form.btnSelectSrcDir->isEnabled());
  }
  TAppFolderEntries app;
  app.Make("data"); // a data folder without mysql is not enough
  app.Make("www");
  {
    TShownDialog d;
    d.Show();
    EXPECT_FALSE(d.form.edtDataDir->isEnabled());
    EXPECT_TRUE(d.form.edtSrcDir->isEnabled());
    EXPECT_TRUE(d.form.Label2->isEnabled());
    EXPECT_TRUE(d.form.btnSelectSrcDir->isEnabled());
  }
  app.Make("data/mysql");
  TShownDialog d;
  d.Show();
  EXPECT_TRUE(d.form.edtDataDir->isEnabled());
  EXPECT_TRUE(d.form.Button1->isEnabled());
}

TEST(BrandForm, TabRunsThroughTheFieldsOnlyAndEnterInAFieldStartsNothing)
{
  TAppFolderEntries app;
  app.Make("data/mysql");
  app.Make("www");
  TShownDialog d;
  d.Show();
  TfrmBrand &f = d.form;
  const QList<QWidget *> fields = {
      f.edtImage, f.edtTitle,  f.edtIcon,      f.cboToolbar, f.cboStatusbar, f.cboTrayIcon, f.cboFullScreen,
      f.cboIP,    f.SpinEdit1, f.cboCopyFiles, f.edtSrcDir,  f.edtDataDir,   f.edtOutputDir};
  // The field the focus is in; the port's editor stands for the port.
  auto focused = [&f]() -> QWidget * {
    QWidget *at = QApplication::focusWidget();
    return at && at->parentWidget() == f.SpinEdit1 ? f.SpinEdit1 : at;
  };
  ASSERT_EQ(focused(), f.edtImage);
  QStringList visited;
  QStringList expected;
  QList<QWidget *> wrapped = fields.mid(1);
  wrapped << f.edtImage;
  for (QWidget *next : wrapped) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    visited << (focused() ? focused()->objectName() : QString());
    expected << next->objectName();
  }
  EXPECT_EQ(visited, expected);
  for (QPushButton *button : f.findChildren<QPushButton *>()) {
    EXPECT_FALSE(button->focusPolicy() & Qt::TabFocus) << button->objectName().toStdString();
    EXPECT_FALSE(button->isDefault()) << button->objectName().toStdString();
  }

  // Enter, on the main keys and on the keypad, in every field: the dialog stays open.
  int finished = 0;
  QObject::connect(&f, &QDialog::finished, [&finished] { ++finished; });
  for (QWidget *field : fields) {
    field->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return focused() == field; }, 60s,
                          "the focus in " + field->objectName().toStdString()))
        << field->objectName().toStdString();
    QWidget *editor = QApplication::focusWidget();
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(f.isVisible()) << field->objectName().toStdString();
  }
  EXPECT_EQ(finished, 0);
  EXPECT_EQ(f.Title, "My Program");
}

TEST(BrandForm, PortStaysWithinRangeAndAnEmptiedFieldGetsItsValueBack)
{
  TShownDialog d;
  d.Show();
  QSpinBox *port = d.form.SpinEdit1;
  port->setValue(70000);
  EXPECT_EQ(port->value(), 65535);
  port->setValue(0);
  EXPECT_EQ(port->value(), 1);
  port->setValue(8088);
  port->setFocus();
  ASSERT_TRUE(WaitUntil([port] { return port->hasFocus(); }, 60s, "the focus in the port"));
  port->findChild<QLineEdit *>()->clear();
  d.form.edtTitle->setFocus();
  ASSERT_TRUE(WaitUntil([&d] { return d.form.edtTitle->hasFocus(); }, 60s, "the focus in the title"));
  EXPECT_EQ(port->text(), "8088");
  EXPECT_EQ(port->value(), 8088);
}

TEST(BrandForm, GoWithPlaceholdersKeepsTheStoredValuesAndTakesTheChoices)
{
  TShownDialog d;
  d.Show();
  TfrmBrand &f = d.form;
  f.edtTitle->setText("  Acme  ");
  f.cboTrayIcon->setCurrentIndex(0);
  f.cboToolbar->setCurrentIndex(1);
  f.cboIP->setCurrentIndex(1);
  f.SpinEdit1->setValue(8088);
  f.btnOK->click();
  EXPECT_EQ(f.result(), QDialog::Accepted);
  EXPECT_EQ(f.Title, "Acme");
  EXPECT_EQ(f.SplashFileName, "");
  EXPECT_EQ(f.OutputDir, "");
  EXPECT_EQ(f.TrayIcon, "1");
  EXPECT_EQ(f.Toolbar, "0");
  EXPECT_EQ(f.IP, "all");
  EXPECT_EQ(f.Port, 8088);
}

TEST(BrandForm, DatabaseBrowseStartsAtTheLaunchersDatabaseAndTakesTheChosenFolder)
{
  TAppFolderEntries app;
  const std::string mysql = app.Make("data/mysql");
  TShownDialog d;
  d.Show();
  QString startedAt;
  TModalWatcher<QFileDialog> picker([&](QFileDialog &dialog) {
    startedAt = dialog.directory().absolutePath();
    static_cast<QDialog &>(dialog).accept(); // QFileDialog hides its override
  });
  d.form.Button1->click();
  EXPECT_EQ(picker.seen, 1);
  EXPECT_EQ(startedAt.toStdString(), mysql);
  EXPECT_EQ(d.form.edtDataDir->text().toStdString(), mysql);
}

TEST(BrandForm, CancelledPickerLeavesTheFieldAlone)
{
  TestSupport::TScratchFolder folder;
  TShownDialog d;
  d.form.OutputDir = folder.Path();
  d.Show();
  TModalWatcher<QFileDialog> picker([&](QFileDialog &dialog) {
    dialog.setDirectory("/");
    dialog.reject();
  });
  d.form.btnSelectOutputDir->click();
  EXPECT_EQ(picker.seen, 1);
  EXPECT_EQ(d.form.edtOutputDir->text().toStdString(), folder.Path());
}

TEST(BrandForm, FolderPickerNearTheScreenEdgeStaysOnTheScreen)
{
  TShownDialog d;
  d.Show();
  const QRect area = d.form.screen()->availableGeometry();
  d.form.move(area.right() - d.form.width() / 4, area.bottom() - d.form.height() / 4);
  QRect shownAt;
  TModalWatcher<QFileDialog> picker([&](QFileDialog &dialog) {
    shownAt = dialog.frameGeometry();
    dialog.reject();
  });
  d.form.btnSelectOutputDir->click();
  ASSERT_EQ(picker.seen, 1);
  EXPECT_TRUE(area.contains(shownAt))
      << shownAt.x() << "," << shownAt.y() << " " << shownAt.width() << "x" << shownAt.height();
}

TEST(BrandForm, IconBrowseIsPresetToTheFieldsFileAndOffersIconsOnly)
{
  TestSupport::TScratchFolder folder;
  const std::string stored = folder.Write("old.ico", "ico");
  const std::string chosen = folder.Write("new.ico", "ico");
  TShownDialog d;
  d.form.IconFile = stored;
  d.Show();
  EXPECT_EQ(d.form.edtIcon->text().toStdString(), stored);
  QStringList preset;
  QStringList filters;
  TModalWatcher<QFileDialog> picker([&](QFileDialog &dialog) {
    preset = dialog.selectedFiles();
    filters = dialog.nameFilters();
    // Typed into the name field once the picker is active and that field has the focus, as the
    // user does. Typing anywhere else (or selectFile(), which also depends on that focus) leaves
    // the preset file selected in the list, and the list's selection is what the picker gives.
    QLineEdit *name = dialog.findChild<QLineEdit *>("fileNameEdit");
    EXPECT_TRUE(WaitUntil([&dialog] { return dialog.isActiveWindow(); }, 60s, "the picker to be active"));
    name->setFocus();
    EXPECT_TRUE(WaitUntil([name] { return name->hasFocus(); }, 60s, "the focus in the picker's name field"));
    name->setText(QString::fromStdString(chosen));
    static_cast<QDialog &>(dialog).accept();
  });
  d.form.btnSelectIcon->click();
  ASSERT_EQ(picker.seen, 1);
  EXPECT_EQ(preset, QStringList{QString::fromStdString(stored)});
  EXPECT_EQ(filters, QStringList{"*.ico"});
  EXPECT_EQ(d.form.edtIcon->text().toStdString(), chosen);
}
