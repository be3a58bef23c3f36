#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QThread>
#include <functional>
#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString &text, std::ostream *out)
{
  *out << '"' << text.toStdString() << '"';
}

// Runs the event loop until Done holds. The limit only keeps a broken run from hanging; it is far
// beyond any expected duration.
inline bool WaitUntil(const std::function<bool()> &done, int limitMs = 60000)
{
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > limitMs)
      return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  return true;
}
