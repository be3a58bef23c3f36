#include "shell/EventPause.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <thread>

void PauseWithEvents(std::chrono::milliseconds duration)
{
  if (QCoreApplication::instance() == nullptr) {
    std::this_thread::sleep_for(duration);
    return;
  }
  QEventLoop loop;
  QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}
