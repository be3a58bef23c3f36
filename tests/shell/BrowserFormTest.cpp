#include "browser/BrowserForm.h"
#include "OutDir.h"
#include "TestHttpServer.h"
#include "WindowManagerView.h"
#include "browser/WebBrowser.h"
#include "shell/MainForm.h"
#include "support/GuiWait.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>
#include <gtest/gtest.h>

namespace
{

// A main window showing the opener page, and the pop-up windows its page opens.
class BrowserFormTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    server.SetPage("/", TitledPage("Home page"));
    server.SetPage("/opener", TitledPage("Opener", "<a id='link' target='_blank' href='/second'>link</a>"));
    server.SetPage("/popup", TitledPage("Pop-up"));
    server.SetPage("/second", TitledPage("Second"));
    main = std::make_unique<TfrmMain>(TStackHooks{});
    main->ApachePort = server.Port();
    main->show();
    mainBrowser = main->findChild<TWebBrowser *>("WebBrowser1");
    Load(mainBrowser, server.Address("/opener"), "Opener");
  }

  void TearDown() override
  {
    for (TfrmBrowser *popup : Popups())
      delete popup;
  }

  static void Load(TWebBrowser *browser, const QString &address, const QString &title)
  {
    browser->Navigate(address);
    ASSERT_TRUE(WaitUntil(
        [&] {
          return browser->ReadyState() == TWebBrowser::READYSTATE_COMPLETE && browser->title() == title;
        },
        60s, "the page " + title.toStdString()));
  }

  static std::vector<TfrmBrowser *> Popups()
  {
    std::vector<TfrmBrowser *> popups;
    for (QWidget *widget : QApplication::topLevelWidgets())
      if (auto *popup = qobject_cast<TfrmBrowser *>(widget))
        popups.push_back(popup);
    return popups;
  }

  // Runs Script in Browser's page and gives the pop-up it opened once its page has loaded.
  static TfrmBrowser *OpenFrom(TWebBrowser *browser, const QString &script, const QString &title = "Pop-up")
  {
    const std::vector<TfrmBrowser *> before = Popups();
    browser->page()->runJavaScript(script);
    TfrmBrowser *popup = nullptr;
    const ::testing::AssertionResult opened = WaitUntil(
        [&] {
          for (TfrmBrowser *candidate : Popups())
            if (std::find(before.begin(), before.end(), candidate) == before.end())
              popup = candidate;
          return popup && popup->isVisible() && popup->Browser()->title() == title &&
                 popup->Browser()->ReadyState() == TWebBrowser::READYSTATE_COMPLETE;
        },
        60s, "a pop-up showing " + title.toStdString() + " from " + script.toStdString());
    EXPECT_TRUE(opened);
    return opened ? popup : nullptr;
  }

  // The window manager's frame around the window, once it has framed it.
  static QRect Frame(QWidget *window)
  {
    QRect frame;
    EXPECT_TRUE(
        WaitUntil([&] { return !(frame = WmFrame(window)).isNull(); }, 60s, "the window manager's frame"));
    return frame;
  }

  static QWidget *Part(QWidget *window, const char *name)
  {
    auto *part = window->findChild<QWidget *>(name);
    EXPECT_NE(part, nullptr) << name;
    return part;
  }

  TTestHttpServer server;
  std::unique_ptr<TfrmMain> main;
  TWebBrowser *mainBrowser = nullptr;
};

QPoint CentredFor(const QSize &size)
{
  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  return {screen.x() + (screen.width() - size.width()) / 2,
          screen.y() + (screen.height() - size.height()) / 2};
}

} // namespace

TEST_F(BrowserFormTest, WithoutARequestedPositionThePopupIs800By600CentredWithEveryBar)
{
  // window.open without features and with a size alone: neither asks for a place.
  for (const QString &script : {QString("window.open('/popup')"),
                                QString("window.open('/popup', '', 'width=400,height=300,toolbar=no')")}) {
    TfrmBrowser *popup = OpenFrom(mainBrowser, script);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->size(), QSize(800, 600));
    EXPECT_EQ(Frame(popup).topLeft(), CentredFor(QSize(800, 600)));
    EXPECT_TRUE(Part(popup, "CoolBar1")->isVisible());
    EXPECT_TRUE(Part(popup, "StatusBar1")->isVisible());
    EXPECT_EQ(popup->windowTitle(), "Pop-up");
    EXPECT_EQ(popup->findChild<QComboBox *>("cboAddress")->currentText(), server.Address("/popup"));
    if (script == "window.open('/popup')")
      SaveScreenshot("popup.png");
    delete popup;
  }
}

TEST_F(BrowserFormTest, ARequestedGeometrySizesThePageAreaAndPlacesTheWindow)
{
  TfrmBrowser *popup =
      OpenFrom(mainBrowser, "window.open('/popup', 'p1', 'left=100,top=50,width=400,height=300')");
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->Browser()->size(), QSize(400, 300));
  EXPECT_EQ(Frame(popup).topLeft(), QPoint(100, 50));
  EXPECT_FALSE(Part(popup, "CoolBar1")->isVisible());
  EXPECT_FALSE(Part(popup, "StatusBar1")->isVisible());

  // A later navigation neither moves nor resizes it.
  const QRect placed = Frame(popup);
  Load(popup->Browser(), server.Address("/second"), "Second");
  EXPECT_EQ(Frame(popup), placed);
}

TEST_F(BrowserFormTest, ToolBandAndStatusBarFollowTheFeatures)
{
  TfrmBrowser *statusOnly =
      OpenFrom(mainBrowser,
               "window.open('/popup', 'p2', 'left=10,top=60,width=500,height=200,status=yes,toolbar=yes')");
  ASSERT_NE(statusOnly, nullptr);
  EXPECT_FALSE(Part(statusOnly, "CoolBar1")->isVisible());
  EXPECT_TRUE(Part(statusOnly, "StatusBar1")->isVisible());
  EXPECT_EQ(statusOnly->Browser()->size(), QSize(500, 200));

  TfrmBrowser *bandOnly = OpenFrom(
      mainBrowser,
      "window.open('/popup', 'p3', 'left=200,top=80,width=450,height=250,menubar,toolbar,location')");
  ASSERT_NE(bandOnly, nullptr);
  EXPECT_TRUE(Part(bandOnly, "CoolBar1")->isVisible());
  EXPECT_FALSE(Part(bandOnly, "StatusBar1")->isVisible());
  EXPECT_EQ(bandOnly->Browser()->size(), QSize(450, 250));
}

TEST_F(BrowserFormTest, PopupsOpenPopupsThatShareTheirHome)
{
  TfrmBrowser *first = OpenFrom(mainBrowser, "window.open('/popup')");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->HomeAddress, QString("http://127.0.0.1:%1").arg(server.Port()));
  TfrmBrowser *second = OpenFrom(first->Browser(), "window.open('/second', '', 'left=30,top=40')", "Second");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->HomeAddress, first->HomeAddress);
  EXPECT_EQ(second->Browser()->size(), QSize(800, 600));

  second->findChild<QToolButton *>("btnHome")->click();
  EXPECT_TRUE(WaitUntil([&] { return second->Browser()->title() == "Home page"; }, 60s, "the home page"));
  EXPECT_EQ(server.Requests("/"), 1);
}

TEST_F(BrowserFormTest, APageClosingItsWindowClosesOnlyThatPopup)
{
  TfrmBrowser *first = OpenFrom(mainBrowser, "window.open('/popup', 'a')");
  TfrmBrowser *second = OpenFrom(mainBrowser, "window.open('/popup', 'b')");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  QPointer<TfrmBrowser> closing = second;
  second->Browser()->page()->runJavaScript("window.close()");
  EXPECT_TRUE(WaitUntil([&] { return closing.isNull(); }, 60s, "the pop-up to close"));
  EXPECT_EQ(Popups(), std::vector<TfrmBrowser *>{first});
  EXPECT_TRUE(first->isVisible());
  EXPECT_TRUE(main->isVisible());
}

TEST_F(BrowserFormTest, FeaturesOfAWindowOpenThatWentElsewhereAreNotReused)
{
  // The named window exists, so this call opens nothing new; its features must not stick.
  TfrmBrowser *named = OpenFrom(mainBrowser, "window.open('/popup', 'named')");
  ASSERT_NE(named, nullptr);
  mainBrowser->page()->runJavaScript("window.open('/second', 'named', 'left=5,top=5,width=200,height=200')");
  ASSERT_TRUE(
      WaitUntil([&] { return named->Browser()->title() == "Second"; }, 60s, "the named window's new page"));
  TfrmBrowser *plain = OpenFrom(mainBrowser, "document.getElementById('link').click()", "Second");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->size(), QSize(800, 600));
  EXPECT_TRUE(Part(plain, "CoolBar1")->isVisible());
}

TEST_F(BrowserFormTest, APopupStaysInsideTheScreenWhateverSizeAndPlaceItsPageAsks)
{
  const QRect available = main->screen()->availableGeometry();
  for (const QString &features : {QString("left=-5000,top=-5000,width=30000,height=30000"),
                                  QString("left=5000,top=5000,width=300,height=200"),
                                  QString("left=10,top=10,width=2147483647,height=2147483647")}) {
    // Each from a fresh load of the opener: a load allows only a few pop-ups without a click.
    Load(mainBrowser, server.Address("/opener"), "Opener");
    TfrmBrowser *popup = OpenFrom(mainBrowser, "window.open('/popup', '', '" + features + "')");
    ASSERT_NE(popup, nullptr) << features.toStdString();
    // The window manager's frame included.
    const QRect frame = Frame(popup);
    EXPECT_TRUE(available.contains(frame)) << features.toStdString() << ": " << frame.x() << "," << frame.y()
                                           << " " << frame.width() << "x" << frame.height();
    if (features.startsWith("left=-5000"))
      SaveScreenshot("popup-oversized.png");
    delete popup;
  }
}

TEST_F(BrowserFormTest, APageLoopingOnWindowOpenGetsTwoPopupsPerLoad)
{
  server.SetPage("/flood",
                 TitledPage("Flood", "<script>for (let i = 0; i < 50; ++i) window.open('/popup', 'f' + i);"
                                     "document.title = 'Flooded';</script>"));
  Load(mainBrowser, server.Address("/flood"), "Flooded");
  ASSERT_TRUE(WaitUntil([&] { return Popups().size() == 2; }, 60s, "two pop-ups"));
  // Leaving the page lets every request it made arrive; none more was opened.
  Load(mainBrowser, server.Address("/opener"), "Opener");
  EXPECT_EQ(Popups().size(), 2u);
  EXPECT_LE(server.Requests("/popup"), 2);
  // A new load has its own allowance.
  Load(mainBrowser, server.Address("/flood"), "Flooded");
  ASSERT_TRUE(WaitUntil([&] { return Popups().size() == 4; }, 60s, "four pop-ups"));
  Load(mainBrowser, server.Address("/opener"), "Opener");
  EXPECT_EQ(Popups().size(), 4u);
}
