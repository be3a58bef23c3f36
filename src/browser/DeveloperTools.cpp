#include "browser/DeveloperTools.h"

#include "browser/WebBrowser.h"

#include <QApplication>
#include <QMainWindow>
#include <QPointer>
#include <QWebEnginePage>
#include <QWebEngineView>

void OpenDeveloperTools(TWebBrowser *browser)
{
  QWebEnginePage *inspected = browser->page();
  if (QWebEnginePage *tools = inspected->devToolsPage()) {
    if (QWebEngineView *view = QWebEngineView::forPage(tools)) {
      QWidget *window = view->window();
      window->show();
      window->raise();
      window->activateWindow();
      return;
    }
  }
  auto *window = new QMainWindow;
  window->setObjectName("frmDeveloperTools");
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle("Developer Tools - " + browser->url().toString());
  auto *view = new QWebEngineView(inspected->profile(), window);
  view->setObjectName("DeveloperToolsView");
  window->setCentralWidget(view);
  inspected->setDevToolsPage(view->page());
  const QPointer<QWebEnginePage> page(inspected);
  // The tools end with their window; the page may already be gone.
  QObject::connect(window, &QObject::destroyed, [page] {
    if (page)
      page->setDevToolsPage(nullptr);
  });
  QObject::connect(inspected, &QObject::destroyed, window, &QWidget::close);
  QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, &QObject::deleteLater);
  window->resize(900, 600);
  window->show();
}
