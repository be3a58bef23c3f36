#include "MainFormFixture.h"
#include "OutDir.h"
#include "browser/FindBar.h"
#include "browser/PageDialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWebEngineView>

namespace
{

// The keys, find bar, zoom, developer tools and close of the browser window, as a user meets them.
class BrowserHabitsTest : public MainFormTest
{
protected:
  void SetUp() override
  {
    server.SetPage("/needles", TitledPage("Needles", "needle one, needle two, needle three"));
  }

  void TearDown() override
  {
    for (QWidget *widget : QApplication::topLevelWidgets())
      if (widget->objectName() == "frmDeveloperTools")
        widget->deleteLater();
  }

  // A key pressed where the focus is in the window (the page, unless a key moved it).
  void PressInWindow(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
  {
    QWidget *focus = QApplication::focusWidget();
    QWidget *target = focus && focus->window() == form.get() ? focus : Browser()->focusProxy();
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QApplication::sendEvent(target, &press);
  }

  // Focus in the page, as after a click into it.
  void FocusThePage()
  {
    form->activateWindow();
    Browser()->setFocus();
    ASSERT_TRUE(WaitUntil([&] { return Browser()->focusProxy() && Browser()->focusProxy()->hasFocus(); }, 10s,
                          "the focus in the page"));
  }

  // Types Text into the focused widget, one key a character.
  static void Type(const QString &text)
  {
    for (const QChar character : text) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
      QApplication::sendEvent(QApplication::focusWidget(), &press);
    }
  }

  // The clock page's ticks so far, as its title shows them.
  int Ticks() const { return form->windowTitle().toInt(); }
  void WaitForTicks(int count)
  {
    const int from = Ticks();
    ASSERT_TRUE(WaitUntil([&] { return Ticks() >= from + count; }, 30s, "the page's clock ticking"));
  }

  bool AddressSelected() const
  {
    return Address()->lineEdit()->hasFocus() &&
           Address()->lineEdit()->selectedText() == Address()->currentText();
  }
};

} // namespace

TEST_F(BrowserHabitsTest, AddressHistoryReloadAndStopKeysWorkFromThePage)
{
  Start();
  Visit("/p1", "Page 1");
  Visit("/p2", "Page 2");
  for (const auto &[key, modifiers] : std::vector<std::pair<int, Qt::KeyboardModifiers>>{
           {Qt::Key_L, Qt::ControlModifier}, {Qt::Key_D, Qt::AltModifier}, {Qt::Key_F6, Qt::NoModifier}}) {
    FocusThePage();
    PressInWindow(key, modifiers);
    EXPECT_TRUE(AddressSelected()) << key;
  }

  FocusThePage();
  PressInWindow(Qt::Key_Left, Qt::AltModifier);
  EXPECT_TRUE(
      WaitUntil([&] { return form->windowTitle() == "Page 1" && Complete(); }, 30s, "back to Page 1"));
  FocusThePage();
  PressInWindow(Qt::Key_Right, Qt::AltModifier);
  EXPECT_TRUE(
      WaitUntil([&] { return form->windowTitle() == "Page 2" && Complete(); }, 30s, "forward to Page 2"));

  const int before = server.Requests("/p2");
  FocusThePage();
  PressInWindow(Qt::Key_R, Qt::ControlModifier);
  EXPECT_TRUE(
      WaitUntil([&] { return server.Requests("/p2") == before + 1 && Complete(); }, 30s, "the reload"));
}

TEST_F(BrowserHabitsTest, ALiveTitleLeavesWhatTheUserTypesAndEscShowsThePagesAddressAgain)
{
  // A clock in the title, and the address changed with it.
  server.SetPage("/clock",
                 "<html><head><title>0</title></head><body><script>let tick = 0;"
                 "setInterval(() => { ++tick; history.replaceState(null, '', '/clock?tick=' + tick);"
                 "document.title = String(tick); }, 20);</script></body></html>");
  Start();
  Address()->setEditText(server.Address("/clock"));
  Key(Qt::Key_Return);
  ASSERT_TRUE(WaitUntil([&] { return Ticks() > 0 && Complete(); }, 60s, "the clock page"));
  FocusThePage();
  PressInWindow(Qt::Key_L, Qt::ControlModifier);
  ASSERT_TRUE(AddressSelected());

  const QString typed = server.Address("/p1");
  Type(typed.left(typed.size() - 1));
  WaitForTicks(5);
  EXPECT_EQ(Address()->currentText(), typed.left(typed.size() - 1));
  Type(typed.right(1));
  WaitForTicks(5);
  EXPECT_EQ(Address()->currentText(), typed);

  // Esc gives the typing up: the page's address, and it follows the page again.
  PressInWindow(Qt::Key_Escape);
  EXPECT_TRUE(Address()->currentText().startsWith(server.Address("/clock?tick=")))
      << Address()->currentText().toStdString();
  const QString shown = Address()->currentText();
  EXPECT_TRUE(
      WaitUntil([&] { return Address()->currentText() != shown; }, 30s, "the address following the page"));

  // Typed again and sent, it is where the window goes.
  PressInWindow(Qt::Key_L, Qt::ControlModifier);
  Type(typed);
  WaitForTicks(3);
  Key(Qt::Key_Return);
  EXPECT_TRUE(WaitUntil([&] { return form->windowTitle() == "Page 1" && Complete(); }, 30s, "Page 1"));
  EXPECT_EQ(Address()->currentText(), typed);
}

TEST_F(BrowserHabitsTest, TheFindBarCountsAndWalksTheMatchesAndEscClosesIt)
{
  Start();
  Visit("/needles", "Needles");
  FocusThePage();
  PressInWindow(Qt::Key_F, Qt::ControlModifier);
  TFindBar *bar = form->FindBar();
  ASSERT_TRUE(bar->isVisible());
  auto *text = bar->findChild<QLineEdit *>("edtFind");
  ASSERT_TRUE(text->hasFocus());
  text->setText("needle");
  emit text->textEdited("needle");
  EXPECT_TRUE(WaitUntil([&] { return bar->MatchText() == "1 of 3"; }, 30s, "the first of three matches"));
  QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
  QApplication::sendEvent(text, &enter);
  EXPECT_TRUE(WaitUntil([&] { return bar->MatchText() == "2 of 3"; }, 30s, "the second match"));
  QKeyEvent back(QEvent::KeyPress, Qt::Key_Return, Qt::ShiftModifier);
  QApplication::sendEvent(text, &back);
  EXPECT_TRUE(WaitUntil([&] { return bar->MatchText() == "1 of 3"; }, 30s, "the first match again"));
  SaveScreenshot("find-bar.png");

  text->setText("haystack");
  emit text->textEdited("haystack");
  EXPECT_TRUE(WaitUntil([&] { return bar->MatchText() == "No matches"; }, 30s, "no match"));
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(text, &escape);
  EXPECT_FALSE(bar->isVisible());
}

TEST_F(BrowserHabitsTest, ZoomKeysStepAndTheSiteKeepsItsZoomForTheSession)
{
  Start();
  Visit("/p1", "Page 1");
  FocusThePage();
  PressInWindow(Qt::Key_Plus, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_DOUBLE_EQ(Browser()->zoomFactor(), 1.1);
  PressInWindow(Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(Browser()->zoomFactor(), 1.25);
  // Another page of the same site keeps the zoom.
  Visit("/p2", "Page 2");
  EXPECT_TRUE(
      WaitUntil([&] { return qFuzzyCompare(Browser()->zoomFactor(), 1.25); }, 10s, "the site's zoom"));
  FocusThePage();
  PressInWindow(Qt::Key_Minus, Qt::ControlModifier);
  PressInWindow(Qt::Key_Minus, Qt::ControlModifier);
  PressInWindow(Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(Browser()->zoomFactor(), 0.9);
  PressInWindow(Qt::Key_0, Qt::ControlModifier);
  EXPECT_DOUBLE_EQ(Browser()->zoomFactor(), 1.0);
}

TEST_F(BrowserHabitsTest, F11TogglesFullScreenAndF12OpensTheDeveloperTools)
{
  Start();
  FocusThePage();
  PressInWindow(Qt::Key_F11);
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  PressInWindow(Qt::Key_F11);
  EXPECT_FALSE(form->windowFlags() & Qt::FramelessWindowHint);

  PressInWindow(Qt::Key_F12);
  QWidget *tools = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        for (QWidget *widget : QApplication::topLevelWidgets())
          if (widget->objectName() == "frmDeveloperTools" && widget->isVisible())
            tools = widget;
        return tools != nullptr;
      },
      30s, "the developer tools' window"));
  EXPECT_EQ(Browser()->page()->devToolsPage(),
            tools->findChild<QWebEngineView *>("DeveloperToolsView")->page());
  // Asked again, the same window comes forward.
  PressInWindow(Qt::Key_F12);
  int windows = 0;
  for (QWidget *widget : QApplication::topLevelWidgets())
    windows += widget->objectName() == "frmDeveloperTools" ? 1 : 0;
  EXPECT_EQ(windows, 1);
}

TEST_F(BrowserHabitsTest, ABrandWithoutDeveloperToolsIgnoresF12)
{
  info.brand = true;
  info.developerTools = false;
  Start();
  FocusThePage();
  PressInWindow(Qt::Key_F12);
  EXPECT_EQ(Browser()->page()->devToolsPage(), nullptr);
}

TEST_F(BrowserHabitsTest, WithoutATrayIconTheToolBarCarriesTheTrayMenu)
{
  info.showTrayIcon = false;
  Start();
  auto *menuButton = Find<QToolButton>("btnMenu");
  EXPECT_TRUE(menuButton->isVisible());
  EXPECT_EQ(menuButton->menu(), form->mnuTray);
  // Hiding the window there would leave no way back to it.
  EXPECT_FALSE(TrayItem("mnuTray_Show")->isVisible());
  EXPECT_TRUE(TrayItem("mnuTray_Settings")->isVisible());
  EXPECT_TRUE(TrayItem("mnuTray_About")->isVisible());
  EXPECT_TRUE(TrayItem("mnuTray_Exit")->isVisible());
  // As the user sees it: the menu open under its button.
  form->mnuTray->popup(menuButton->mapToGlobal(QPoint(0, menuButton->height())));
  ASSERT_TRUE(WaitUntil([this] { return form->mnuTray->isVisible(); }, 10s, "the menu open"));
  SaveScreenshot("window-menu.png");
  form->mnuTray->close();
}

TEST_F(BrowserHabitsTest, ANarrowWindowKeepsTheMenuButtonAndAUsableAddressBox)
{
  // As without a window manager's close box or a tray: the Menu button is the way to Exit.
  info.showTrayIcon = false;
  Start();
  form->showNormal();
  form->resize(300, 400);
  auto *menuButton = Find<QToolButton>("btnMenu");
  auto *toolBar = Find<QToolBar>("tlbToolbar");
  // The bar's overflow arrow, which hides the buttons that do not fit.
  auto *overflow = toolBar->findChild<QToolButton *>("qt_toolbar_ext_button");
  const auto settled = [&] {
    return form->width() == std::max(300, form->minimumWidth()) && menuButton->isVisible() &&
           (!overflow || !overflow->isVisible()) && Address()->isVisible();
  };
  ASSERT_TRUE(WaitUntil(settled, 30s, "the narrow window laid out"))
      << form->width() << " of at least " << form->minimumWidth();
  EXPECT_GE(form->width(), form->minimumSizeHint().width());
  // The whole Menu button inside the tool bar, and the address box at its usable width.
  EXPECT_TRUE(toolBar->rect().contains(menuButton->geometry())) << menuButton->x() << " " << toolBar->width();
  EXPECT_TRUE(form->rect().contains(QRect(menuButton->mapTo(form.get(), QPoint()), menuButton->size())));
  EXPECT_GE(Address()->width(), 240);
  EXPECT_TRUE(form->rect().contains(QRect(Address()->mapTo(form.get(), QPoint()), Address()->size())));
  EXPECT_EQ(menuButton->menu(), form->mnuTray);
  EXPECT_TRUE(TrayItem("mnuTray_Exit")->isVisible());
  SaveScreenshot("narrow-window.png");
}

TEST_F(BrowserHabitsTest, CtrlPOpensThePrintDialog)
{
  Start();
  FocusThePage();
  PressInWindow(Qt::Key_P, Qt::ControlModifier);
  QDialog *dialog = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        dialog = form->findChild<QDialog *>("dlgPrint");
        return dialog && dialog->isVisible();
      },
      30s, "the print dialog"));
  dialog->reject();
}
