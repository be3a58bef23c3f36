#include "MainFormFixture.h"
#include "OutDir.h"
#include "browser/BrowserForm.h"
#include "browser/PageDialogs.h"
#include "browser/PageWatch.h"
#include "browser/WebEngineEnvironment.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <csignal>

namespace
{

// Pages that try to crash, hang or hold the window; the window must live and stay usable.
class HostilePageTest : public MainFormTest
{
protected:
  void SetUp() override
  {
    server.SetPage("/after", TitledPage("After"));
    server.SetPage("/busy",
                   TitledPage("Busy", "<script>setTimeout(function () { for (;;) {} }, 50);</script>"));
    server.SetPage("/alerts", TitledPage("Alerts", "<script>onload = function () {"
                                                   " for (var i = 0; i < 1000; i++) alert('box ' + i); };"
                                                   "</script>"));
    ASSERT_NO_FATAL_FAILURE(Start());
  }

  void TearDown() override
  {
    std::vector<QPointer<TfrmBrowser>> popups;
    for (TfrmBrowser *popup : Popups())
      popups.emplace_back(popup);
    for (const QPointer<TfrmBrowser> &popup : popups)
      delete popup.data();
  }

  // Runs Script in the page and gives what it evaluated to.
  QVariant Evaluate(const QString &script)
  {
    QVariant result;
    bool done = false;
    Browser()->page()->runJavaScript(script, [&](const QVariant &value) {
      result = value;
      done = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return done; }, 30s, "the script " + script.toStdString()));
    return result;
  }

  // The page's boxes that are shown now.
  std::vector<QDialog *> ShownPageBoxes() const
  {
    std::vector<QDialog *> shown;
    for (QWidget *widget : QApplication::topLevelWidgets())
      if (widget->objectName() == "PageDialog" && widget->isVisible())
        shown.push_back(static_cast<QDialog *>(widget));
    return shown;
  }

  std::vector<TfrmBrowser *> Popups() const
  {
    std::vector<TfrmBrowser *> popups;
    for (QWidget *widget : QApplication::topLevelWidgets())
      if (auto *popup = qobject_cast<TfrmBrowser *>(widget))
        popups.push_back(popup);
    return popups;
  }
};

} // namespace

TEST(WindowAddresses, BlockedAndScriptAddressesAreNeverOpened)
{
  EXPECT_FALSE(IsOpenableWindowAddress(QUrl("about:blank#blocked")));
  EXPECT_FALSE(IsOpenableWindowAddress(QUrl("javascript:'x'")));
  EXPECT_FALSE(IsOpenableWindowAddress(QUrl("JavaScript:alert(1)")));
  EXPECT_TRUE(IsOpenableWindowAddress(QUrl("about:blank")));
  EXPECT_TRUE(IsOpenableWindowAddress(QUrl()));
  EXPECT_TRUE(IsOpenableWindowAddress(QUrl("http://127.0.0.1:8080/page#blocked")));
}

TEST_F(HostilePageTest, ScriptAddressesInNewWindowsNeitherOpenNorCrash)
{
  // Each shape crashed the engine when its blocked request was opened.
  Evaluate("window.open(\"javascript:'x'\"); 1");
  Evaluate("var w = window.open(); if (w) w.location = \"javascript:'x'\"; 1");
  Evaluate("var v = window.open('about:blank'); if (v) v.location.href = 'javascript:1'; 1");

  // The engine crashed some 75 ms after the request: a full page load later the window still works.
  Visit("/after", "After");
  for (TfrmBrowser *popup : Popups())
    EXPECT_FALSE(popup->Browser()->url().scheme() == "javascript")
        << popup->Browser()->url().toString().toStdString();
}

TEST_F(HostilePageTest, PermissionRequestsAreDeniedAtOnce)
{
  Evaluate("window.answers = [];"
           "navigator.geolocation.getCurrentPosition(function () { answers.push('geo granted'); },"
           " function (e) { answers.push('geo ' + e.code); });"
           "Notification.requestPermission().then(function (p) { answers.push('notify ' + p); }); 1");
  ASSERT_TRUE(WaitUntil([&] { return Evaluate("answers.length").toInt() == 2; }, 30s, "both answers"));
  const QString answers = Evaluate("answers.sort().join(',')").toString();
  // Geolocation's PERMISSION_DENIED is code 1.
  EXPECT_EQ(answers, "geo 1,notify denied");
}

TEST_F(HostilePageTest, AnAlertLoopBlocksOnlyItsPageAndCanBeStopped)
{
  Visit("/p1", "Page 1");
  // A box's wait runs the events inside the page's call: the answers come from a timer, as a user's
  // clicks would.
  int boxes = 0;
  bool blockedOnlyThePage = true;
  bool offeredTooEarly = false;
  QTimer answer;
  answer.setInterval(20);
  QObject::connect(&answer, &QTimer::timeout, [&] {
    const std::vector<QDialog *> shown = ShownPageBoxes();
    if (shown.size() != 1)
      return;
    auto *box = static_cast<QMessageBox *>(shown[0]);
    ++boxes;
    blockedOnlyThePage = blockedOnlyThePage && !Browser()->isEnabled() && !box->isModal() &&
                         QApplication::activeModalWidget() == nullptr && Address()->isEnabled();
    auto *offer = box->findChild<QCheckBox *>("chkStopPageDialogs");
    if (boxes <= TPageDialogs::BoxesBeforeOffer) {
      offeredTooEarly = offeredTooEarly || offer != nullptr;
    } else if (offer) {
      offer->setChecked(true);
    }
    box->button(QMessageBox::Ok)->click();
  });
  answer.start();
  Address()->setEditText(server.Address("/alerts"));
  Key(Qt::Key_Return);
  // From the third box on, a box offers to stop the page's boxes; taking it ends the loop's boxes.
  ASSERT_TRUE(
      WaitUntil([&] { return form->windowTitle() == "Alerts" && Complete() && Browser()->isEnabled(); }, 60s,
                "the page to run through its loop"));
  EXPECT_EQ(boxes, TPageDialogs::BoxesBeforeOffer + 1);
  EXPECT_TRUE(blockedOnlyThePage);
  EXPECT_FALSE(offeredTooEarly);
  EXPECT_TRUE(ShownPageBoxes().empty());
}

TEST_F(HostilePageTest, ABusyPageIsReportedAndANavigationReplacesIt)
{
  Visit("/busy", "Busy");
  ASSERT_TRUE(WaitUntil(
      [&] {
        auto *box = form->findChild<QMessageBox *>("PageNotResponding");
        return box && box->isVisible();
      },
      60s, "the not-responding box"));
  auto *box = form->findChild<QMessageBox *>("PageNotResponding");
  EXPECT_EQ(box->text(), "The page is not responding.");
  SaveScreenshot("page-not-responding.png");
  // Wait: the box goes, the page stays.
  box->findChild<QPushButton *>("btnWait")->click();
  EXPECT_FALSE(box->isVisible());

  // A typed address replaces the page that does not answer.
  Visit("/after", "After");
  EXPECT_FALSE(box->isVisible());

  // Reload in the box gives the page a new renderer.
  Visit("/busy", "Busy");
  ASSERT_TRUE(WaitUntil([&] { return box->isVisible(); }, 60s, "the not-responding box again"));
  const qint64 hung = Browser()->page()->renderProcessPid();
  box->findChild<QPushButton *>("btnReload")->click();
  EXPECT_TRUE(WaitUntil(
      [&] {
        const qint64 now = Browser()->page()->renderProcessPid();
        return now > 0 && now != hung && Complete() && form->windowTitle() == "Busy";
      },
      60s, "the page reloaded in a new renderer"));
}

TEST_F(HostilePageTest, ARendererThatDiesShowsTheStoppedPageAndReloadBringsThePageBack)
{
  Visit("/p2", "Page 2");
  const qint64 renderer = Browser()->page()->renderProcessPid();
  ASSERT_GT(renderer, 0);
  ASSERT_EQ(kill(static_cast<pid_t>(renderer), SIGKILL), 0);
  ASSERT_TRUE(WaitUntil([&] { return Browser()->StoppedPanel() && Browser()->StoppedPanel()->isVisible(); },
                        30s, "the stopped page"));
  const QString text = Browser()->StoppedPanel()->findChild<QLabel *>("lblPageStopped")->text();
  EXPECT_TRUE(text.contains("This page stopped working.")) << text.toStdString();
  EXPECT_TRUE(text.contains(server.Address("/p2"))) << text.toStdString();
  // The address still names the page; the title says it stopped.
  EXPECT_EQ(Browser()->LocationURL(), server.Address("/p2"));
  EXPECT_EQ(form->windowTitle(), "Page 2 (stopped working)");
  SaveScreenshot("page-stopped.png");

  Browser()->StoppedPanel()->findChild<QPushButton *>("btnReloadStoppedPage")->click();
  EXPECT_TRUE(WaitUntil([&] { return form->windowTitle() == "Page 2" && Complete(); }, 60s, "Page 2 again"));
  EXPECT_FALSE(Browser()->StoppedPanel()->isVisible());
}

TEST_F(HostilePageTest, TheEnginesSharedMemoryLivesOutsideTheTemporaryFolder)
{
  if (!Corvala::SharedMemoryFolderUsable())
    GTEST_SKIP() << "/dev/shm has no room here: the engine uses the temporary folder by design";
  Visit("/p3", "Page 3");
  const qint64 renderer = Browser()->page()->renderProcessPid();
  ASSERT_GT(renderer, 0);
  QFile maps(QString("/proc/%1/maps").arg(renderer));
  ASSERT_TRUE(maps.open(QIODevice::ReadOnly));
  const QString mapped = QString::fromUtf8(maps.readAll());
  const QString temporary = QDir::tempPath() + "/.org.chromium";
  // A full temporary folder, where the work folder lives, must not leave the renderer without it.
  EXPECT_TRUE(mapped.contains("/dev/shm/.org.chromium")) << mapped.toStdString();
  EXPECT_FALSE(mapped.contains(temporary)) << mapped.toStdString();
}
