#include "browser/PageWatch.h"

#include <QPointer>
#include <QWebEngineScript>
#include <csignal>
#include <utility>

TPageWatch::TPageWatch(QWebEnginePage *page) : QObject(page), page(page)
{
  timer.setInterval(ProbeInterval);
  connect(&timer, &QTimer::timeout, this, &TPageWatch::Probe);
  timer.start();
  // A new renderer owes no answers of the old one.
  connect(page, &QWebEnginePage::renderProcessPidChanged, this, &TPageWatch::Forget);
  connect(page, &QWebEnginePage::loadFinished, this, &TPageWatch::Forget);
  connect(page, &QWebEnginePage::renderProcessTerminated, this,
          [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
            Forget();
            if (afterEnd) {
              // Run once the engine has let go of the old renderer.
              QTimer::singleShot(0, this, std::exchange(afterEnd, nullptr));
              return;
            }
            emit Ended(status, exitCode);
          });
}

void TPageWatch::Forget()
{
  ++probe;
  waiting = false;
  reportAfter = HungAfter;
  if (std::exchange(reported, false))
    emit Responsive();
}

bool TPageWatch::NotAnswering() const
{
  return waiting && !paused && std::chrono::steady_clock::now() - askedAt >= SlowAfter;
}

void TPageWatch::SetPaused(bool value)
{
  paused = value;
  if (paused)
    Forget();
}

void TPageWatch::WaitLonger(std::chrono::milliseconds delay)
{
  reportAfter = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                      askedAt + delay);
  reported = false;
}

void TPageWatch::EndRenderer(std::function<void()> then)
{
  const qint64 pid = page->renderProcessPid();
  if (pid <= 0) {
    then();
    return;
  }
  afterEnd = std::move(then);
  kill(static_cast<pid_t>(pid), SIGKILL);
}

void TPageWatch::Probe()
{
  if (paused || page->renderProcessPid() <= 0)
    return;
  if (!waiting) {
    waiting = true;
    askedAt = std::chrono::steady_clock::now();
    const unsigned asked = ++probe;
    QPointer<TPageWatch> self(this);
    // The application's own script world: a page's scripts cannot answer for it or see it.
    page->runJavaScript("0", QWebEngineScript::ApplicationWorld, [self, asked](const QVariant &) {
      if (self && self->probe == asked)
        self->Forget();
    });
    return;
  }
  if (!reported && std::chrono::steady_clock::now() - askedAt >= reportAfter) {
    reported = true;
    emit Unresponsive();
  }
}
