// The baseline of the launcher's measurements: a bare QWebEngineView that loads one address, with
// the same Qt WebEngine settings as the launcher. Prints the monotonic clock when the page has loaded
// ("loaded_clock=<ns>"), then stays idle until it is ended.
#include "browser/WebEngineEnvironment.h"

#include <QApplication>
#include <QWebEngineView>
#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char **argv)
{
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s URL\n", argv[0]);
    return 2;
  }
  Corvala::PrepareWebEngineEnvironment();
  QApplication application(argc, argv);
  QWebEngineView view;
  bool reported = false;
  QObject::connect(&view, &QWebEngineView::loadFinished, [&reported](bool) {
    if (reported)
      return;
    reported = true;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::printf("loaded_clock=%lld\n", now.tv_sec * 1000000000LL + now.tv_nsec);
    std::fflush(stdout);
  });
  view.setWindowState(Qt::WindowMaximized);
  view.show();
  view.load(QUrl(QString::fromLocal8Bit(argv[1])));
  return QApplication::exec();
}
