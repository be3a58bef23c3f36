#pragma once

#include "support/WaitUntil.h"

#include <QCoreApplication>
#include <QString>
#include <QThread>
#include <chrono>
#include <functional>
#include <ostream>
#include <string>

using namespace std::chrono_literals;

// Readable QString values in test failures.
inline void PrintTo(const QString &text, std::ostream *out)
{
  *out << '"' << text.toStdString() << '"';
}

// The application's events run between two checks, so that windows, pages and timers go on while
// a test waits (as QTRY_VERIFY does).
inline void RunEventsBetweenChecks()
{
  QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  QThread::msleep(10);
}

// TestSupport::WaitUntil with the event loop running.
inline ::testing::AssertionResult WaitUntil(const std::function<bool()> &done,
                                            std::chrono::milliseconds limit, const std::string &what)
{
  return TestSupport::WaitUntil(done, limit, what, RunEventsBetweenChecks);
}
