#pragma once

#include "TestHttpServer.h"
#include "browser/WebBrowser.h"
#include "shell/MainForm.h"
#include "support/GuiWait.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <gtest/gtest.h>
#include <memory>

// A main window started against a loopback server, as the start-up sequence leaves it.
class MainFormTest : public ::testing::Test
{
protected:
  MainFormTest()
  {
    server.SetPage("/", TitledPage("Local Site"));
    for (int page = 1; page <= 30; ++page)
      server.SetPage(QString("/p%1").arg(page), TitledPage(QString("Page %1").arg(page)));
    info.appName = "Corvala";
    info.apachePort = server.Port();
    info.brand = false;
  }

  // Builds, shows and starts the window, then waits for the first page.
  void Start()
  {
    TStackHooks hooks;
    hooks.stopServers = [this] { ++stopCalls; };
    hooks.endSplash = endSplash;
    hooks.openTerminal = openTerminal;
    hooks.runLogs = runLogs;
    form = std::make_unique<TfrmMain>(hooks);
    form->ApplyTitle(QString::fromStdString(info.appName), QIcon());
    form->show();
    form->CompleteStartup(info);
    ASSERT_TRUE(WaitUntil([this] { return form->windowTitle() == "Local Site" && Complete(); }, 60s,
                          "the local site, complete"));
  }

  template <typename T> T *Find(const char *name) const
  {
    auto *found = form->findChild<T *>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  TWebBrowser *Browser() const { return Find<TWebBrowser>("WebBrowser1"); }
  QComboBox *Address() const { return Find<QComboBox>("cboAddress"); }
  bool Complete() const
  {
    return !Browser()->Busy() && Browser()->ReadyState() == TWebBrowser::READYSTATE_COMPLETE;
  }

  // Types an address into the box and presses Enter, then waits for the page's title.
  void Visit(const QString &path, const QString &title)
  {
    Address()->setEditText(server.Address(path));
    Key(Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return form->windowTitle() == title && Complete(); }, 60s,
                          "the page " + title.toStdString() + ", complete"))
        << path.toStdString();
  }

  // Sends a key press to the address box's editor, as typing does.
  void Key(int key)
  {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(Address()->lineEdit(), &press);
  }

  QStringList History() const
  {
    QStringList items;
    for (int index = 0; index < Address()->count(); ++index)
      items << Address()->itemText(index);
    return items;
  }

  QAction *TrayItem(const char *name) const { return form->mnuTray->findChild<QAction *>(name); }

  TTestHttpServer server;
  TStartupInfo info;
  std::function<void()> endSplash;
  std::function<void()> openTerminal;
  std::function<TRunLogs()> runLogs;
  std::unique_ptr<TfrmMain> form;
  int stopCalls = 0;
};
