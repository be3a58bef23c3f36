#include "packaging/gui/RebrandCommand.h"

#include "ModalWatcher.h"
#include "config/BrandDefaults.h"
#include "packaging/AppFolder.h"
#include "packaging/gui/BrandForm.h"
#include "packaging/gui/BuildProgressForm.h"
#include "shell/MainForm.h"
#include "support/TestSupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
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

namespace
{

// The progress window of a running build, when it shows.
TfrmBuildProgress *ProgressWindow(TfrmMain &form)
{
  auto *window = form.findChild<TfrmBuildProgress *>("frmBuildProgress");
  return window && window->isVisible() ? window : nullptr;
}

// A launcher folder whose site is large: thousands of files, a few hundred MB in all.
void MakeLargeSite(TAppFolderEntries &app)
{
  TestSupport::WriteBytes(app.Make("bin") + "/php.ini", "[PHP]\n");
  const std::string www = app.Make("www");
  std::string block(64 << 10, 'x');
  for (int i = 0; i < 3000; ++i) {
    block[0] = static_cast<char>(i);
    if (i % 100 == 0)
      std::filesystem::create_directories(www + "/assets/" + std::to_string(i / 100));
    TestSupport::WriteBytes(www + "/assets/" + std::to_string(i / 100) + "/a" + std::to_string(i) + ".dat",
                            block);
  }
  const std::string clip(16 << 20, 'c');
  for (int i = 0; i < 10; ++i)
    TestSupport::WriteBytes(www + "/media" + std::to_string(i) + ".bin", clip);
}

} // namespace

// The build copies on its own thread: the window answers clicks meanwhile, while the commands stay
// one at a time; the progress grows, and Cancel leaves no output folder behind.
TEST_F(Rebrand, ALargeSiteBuildsUnderGrowingProgressWithTheWindowAnsweringAndCancelLeavesNoOutput)
{
  TAppFolderEntries app;
  MakeLargeSite(app);
  QObject::connect(&form, &TfrmMain::rebrandRequested, &form,
                   [this] { BuildDistribution(form, brandFile, {}, CORVALA_LAUNCHER); });
  int settings = 0;
  int downSize = 0;
  QObject::connect(&form, &TfrmMain::settingsRequested, [&settings] { ++settings; });
  QObject::connect(&form, &TfrmMain::downSizeRequested, [&downSize] { ++downSize; });
  QToolButton *rebrand = form.findChild<QToolButton *>("btnBrand");
  QToolButton *home = form.findChild<QToolButton *>("btnHome");
  QAction *traySettings = form.findChild<QAction *>("mnuTray_Settings");
  QAction *trayDownSize = form.findChild<QAction *>("mnuTray_DownSize");
  ASSERT_TRUE(rebrand && home && traySettings && trayDownSize);
  int homeClicks = 0;
  bool homeClickedDuringBuild = false;
  QObject::connect(home, &QToolButton::clicked, [&] {
    ++homeClicks;
    homeClickedDuringBuild = ProgressWindow(form) != nullptr;
  });

  TModalWatcher<TfrmBrand> dialog([](TfrmBrand &brand) { brand.btnOK->click(); });
  int boxes = 0;
  TModalWatcher<QMessageBox> box([&boxes](QMessageBox &shown) {
    ++boxes;
    shown.done(0);
  });
  std::vector<int> shownProgress;
  bool clicked = false;
  bool cancelled = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    TfrmBuildProgress *progress = ProgressWindow(form);
    if (!progress || cancelled)
      return;
    const int value = progress->findChild<QProgressBar *>("barProgress")->value();
    if (shownProgress.empty() || value != shownProgress.back())
      shownProgress.push_back(value);
    if (!clicked) {
      clicked = true;
      rebrand->click();
      traySettings->trigger();
      trayDownSize->trigger();
      // Delivered only by an event loop that runs while the build copies.
      QMetaObject::invokeMethod(home, &QToolButton::click, Qt::QueuedConnection);
    }
    // Cancelled as soon as the window has answered and the copy has shown that it moves: a quiet
    // machine copies the whole site in a few hundred milliseconds.
    if (homeClicks > 0 && shownProgress.back() > 0) {
      cancelled = true;
      progress->findChild<QPushButton *>("btnCancel")->click();
    }
  });
  user.start(20);
  rebrand->click();
  user.stop();

  EXPECT_EQ(dialog.seen, 1);
  EXPECT_TRUE(cancelled) << "the build ended before it could be cancelled";
  EXPECT_EQ(boxes, 0);
  EXPECT_EQ(homeClicks, 1);
  EXPECT_TRUE(homeClickedDuringBuild);
  EXPECT_TRUE(std::is_sorted(shownProgress.begin(), shownProgress.end()));
  EXPECT_LT(shownProgress.back(), 1000);
  EXPECT_EQ(settings, 0);
  EXPECT_EQ(downSize, 0);
  // The default output folder and the documents folder made for it are gone.
  EXPECT_FALSE(std::filesystem::exists(root.File("home/Documents")));
  EXPECT_EQ(ProgressWindow(form), nullptr);
  EXPECT_EQ(notifications, std::vector<bool>({false, true}));

  // Once the build is over, the commands are taken again.
  traySettings->trigger();
  trayDownSize->trigger();
  EXPECT_EQ(settings, 1);
  EXPECT_EQ(downSize, 1);
}

TEST_F(Rebrand, TheDoneMessageNamesTheFolderAndWhyWhenTheTypedOneDidNotExist)
{
  TAppFolderEntries app;
  TestSupport::WriteBytes(app.Make("bin") + "/php.ini", "[PHP]\n");
  TestSupport::WriteBytes(app.Make("www") + "/index.php", "<?php echo 1;");
  const std::string typed = root.File("no such folder");
  const std::string output = root.File("home/Documents/$Output$");
  for (const bool typedMissing : {false, true}) {
    SCOPED_TRACE(typedMissing ? "typed folder missing" : "default folder");
    TModalWatcher<TfrmBrand> dialog([&](TfrmBrand &brand) {
      if (typedMissing)
        brand.edtOutputDir->setText(QString::fromStdString(typed));
      brand.btnOK->click();
    });
    QString name;
    QString text;
    TModalWatcher<QMessageBox> box([&](QMessageBox &shown) {
      name = shown.objectName();
      text = shown.text();
      shown.findChild<QPushButton *>("btnClose")->click();
    });
    BuildDistribution(form, brandFile, {}, CORVALA_LAUNCHER);

    EXPECT_EQ(box.seen, 1);
    EXPECT_EQ(name, "msgBuildDone");
    EXPECT_TRUE(text.contains(QString::fromStdString("\"" + output + "\""))) << text.toStdString();
    EXPECT_EQ(text.contains(QString::fromStdString("\"" + typed + "\"")), typedMissing) << text.toStdString();
    EXPECT_TRUE(std::filesystem::exists(output + "/runme"));
    EXPECT_EQ(TestSupport::ReadBytes(output + "/www/index.php"), "<?php echo 1;");
    EXPECT_FALSE(std::filesystem::exists(typed));
  }
}

// A request to end the program while a build runs cancels the build before the command ends.
TEST_F(Rebrand, QuittingDuringABuildCancelsItFirst)
{
  TAppFolderEntries app;
  MakeLargeSite(app);
  TModalWatcher<TfrmBrand> dialog([](TfrmBrand &brand) { brand.btnOK->click(); });
  int boxes = 0;
  TModalWatcher<QMessageBox> box([&boxes](QMessageBox &shown) {
    ++boxes;
    shown.done(0);
  });
  bool quit = false;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    TfrmBuildProgress *progress = ProgressWindow(form);
    if (quit || !progress || progress->findChild<QProgressBar *>("barProgress")->value() == 0)
      return;
    quit = true;
    form.CloseApplication();
  });
  user.start(20);
  BuildDistribution(form, brandFile, {}, CORVALA_LAUNCHER);
  user.stop();

  EXPECT_TRUE(quit);
  EXPECT_EQ(boxes, 0);
  EXPECT_FALSE(std::filesystem::exists(root.File("home/Documents")));
}
