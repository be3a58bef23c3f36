#include "packaging/gui/RebrandCommand.h"

#include "ModalWatcher.h"
#include "config/BrandDefaults.h"
#include "packaging/AppFolder.h"
#include "packaging/gui/BrandForm.h"
#include "shell/MainForm.h"
#include "utils/TestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>

namespace
{

// A main window whose tray notification switches are recorded; a private home and temporary
// folder, so nothing the command might create lands outside the test's folder.
struct TRebrandFixture : ::testing::Test {
  TRebrandFixture()
  {
    std::filesystem::create_directories(root.File("home"));
    std::filesystem::create_directories(root.File("tmp"));
    oldHome = getenv("HOME");
    if (const char *tmp = getenv("TMPDIR"))
      oldTmp = tmp;
    setenv("HOME", root.File("home").c_str(), 1);
    setenv("TMPDIR", root.File("tmp").c_str(), 1);
    brandFile = Corvala::WriteBrandDefaults(root.Path());
    QObject::connect(&form, &TfrmMain::trayNotificationsChanged,
                     [this](bool on) { notifications.push_back(on); });
  }
  ~TRebrandFixture() override
  {
    setenv("HOME", oldHome.c_str(), 1);
    if (oldTmp)
      setenv("TMPDIR", oldTmp->c_str(), 1);
    else
      unsetenv("TMPDIR");
  }

  // The Rebrand button, wired to the command as the launcher wires it.
  void ConnectRebrand()
  {
    QObject::connect(&form, &TfrmMain::rebrandRequested, &form,
                     [this] { BuildDistribution(form, brandFile); });
  }

  TestSupport::TScratchFolder root{"corvala-rebrand"};
  std::string oldHome;
  std::optional<std::string> oldTmp;
  std::string brandFile;
  TfrmMain form{TStackHooks{}};
  std::vector<bool> notifications;
};

using Rebrand = TRebrandFixture;

} // namespace

TEST_F(Rebrand, CancelWritesNothingAndCreatesNothing)
{
  ConnectRebrand();
  const std::string before = TestSupport::ReadBytes(brandFile);
  TModalWatcher<TfrmBrand> dialog([](TfrmBrand &brand) {
    brand.edtTitle->setText("Changed");
    brand.btnCancel->click();
  });
  TModalWatcher<QMessageBox> boxes([](QMessageBox &box) { box.button(QMessageBox::Ok)->click(); });
  form.findChild<QToolButton *>("btnBrand")->click();

  EXPECT_EQ(dialog.seen, 1);
  EXPECT_EQ(boxes.seen, 0);
  EXPECT_EQ(TestSupport::ReadBytes(brandFile), before);
  EXPECT_FALSE(std::filesystem::exists(root.File("home/Documents")));
  EXPECT_TRUE(std::filesystem::is_empty(root.File("tmp")));
  EXPECT_EQ(notifications, std::vector<bool>({false, true}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Rebrand, FailureIsShownInOneErrorBoxAndEverythingIsPutBack)
{
  const std::string output = root.File("out");
  std::filesystem::create_directories(output + "/runme");
  TModalWatcher<TfrmBrand> dialog([&output](TfrmBrand &brand) {
    brand.edtOutputDir->setText(QString::fromStdString(output));
    brand.btnOK->click();
  });
  QString caption;
  QString text;
  TModalWatcher<QMessageBox> boxes([&](QMessageBox &box) {
    caption = box.windowTitle();
    text = box.text();
    box.button(QMessageBox::Ok)->click();
  });
  BuildDistribution(form, brandFile);

  EXPECT_EQ(boxes.seen, 1);
  EXPECT_EQ(caption, "Error");
  EXPECT_TRUE(text.startsWith(QString::fromStdString("Cannot create file \"" + output + "/runme\".")))
      << text.toStdString();
  EXPECT_EQ(Corvala::TConfigFile(brandFile).Read("outputdir"), output);
  EXPECT_EQ(notifications, std::vector<bool>({false, true}));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(Rebrand, PortThatIsNotANumberEndsTheCommandBeforeTheDialog)
{
  Corvala::TConfigFile(brandFile).Write("port", "eighty");
  TModalWatcher<TfrmBrand> dialog([](TfrmBrand &brand) { brand.reject(); });
  EXPECT_THROW(BuildDistribution(form, brandFile), std::invalid_argument);
  EXPECT_EQ(dialog.seen, 0);
  EXPECT_EQ(notifications, std::vector<bool>({false, true}));
}

// The build processes events between its steps; what the user clicks meanwhile must not start a
// second command inside it.
TEST_F(Rebrand, ClicksDuringABuildOpenNoSecondDialogAndSendNoRequest)
{
  ConnectRebrand();
  int settings = 0;
  int downSize = 0;
  QObject::connect(&form, &TfrmMain::settingsRequested, [&settings] { ++settings; });
  QObject::connect(&form, &TfrmMain::downSizeRequested, [&downSize] { ++downSize; });
  QToolButton *rebrand = form.findChild<QToolButton *>("btnBrand");
  QAction *trayDownSize = form.findChild<QAction *>("mnuTray_DownSize");
  QAction *traySettings = form.findChild<QAction *>("mnuTray_Settings");
  ASSERT_TRUE(rebrand && trayDownSize && traySettings);

  // The build stops at runme, which cannot be written over a folder, after its first steps.
  const std::string output = root.File("out");
  std::filesystem::create_directories(output + "/runme");
  TModalWatcher<TfrmBrand> dialog([&output](TfrmBrand &brand) {
    brand.edtOutputDir->setText(QString::fromStdString(output));
    brand.btnOK->click();
  });
  TModalWatcher<QMessageBox> boxes([](QMessageBox &box) { box.button(QMessageBox::Ok)->click(); });
  // The user's clicks come while the build runs under the wait cursor.
  bool clickedDuringBuild = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    const QCursor *cursor = QApplication::overrideCursor();
    if (clickedDuringBuild || !cursor || cursor->shape() != Qt::WaitCursor)
      return;
    clickedDuringBuild = true;
    rebrand->click();
    traySettings->trigger();
    trayDownSize->trigger();
  });
  user.start(0);
  rebrand->click();
  user.stop();

  EXPECT_TRUE(clickedDuringBuild);
  EXPECT_EQ(dialog.seen, 1);
  EXPECT_EQ(boxes.seen, 1);
  EXPECT_EQ(settings, 0);
  EXPECT_EQ(downSize, 0);
  EXPECT_EQ(notifications, std::vector<bool>({false, true}));

  // Once the build is over, the commands are taken again.
  traySettings->trigger();
  trayDownSize->trigger();
  EXPECT_EQ(settings, 1);
  EXPECT_EQ(downSize, 1);
}
