#include "packaging/gui/BuildRun.h"

#include <QCoreApplication>
#include <exception>

TBuildRun::TBuildRun(Corvala::TBuildSource source, Corvala::TBrandSettings settings, TDataHold hold)
    : Settings(std::move(settings)), Source(std::move(source)), Hold(std::move(hold))
{
  qRegisterMetaType<Corvala::TBuildProgress>();
  connect(this, &TBuildRun::finished, this, [this] { ended = true; });
}

TBuildRun::~TBuildRun()
{
  if (!thread.joinable())
    return;
  cancelled = true;
  // The thread may be waiting for a database step on this thread.
  while (!ended)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  thread.join();
}

void TBuildRun::Start()
{
  thread = std::thread([this] { Run(); });
}

void TBuildRun::OnGuiThread(const std::function<void()> &step)
{
  if (!step)
    return;
  std::exception_ptr failure;
  QMetaObject::invokeMethod(
      this,
      [&] {
        try {
          step();
        } catch (...) {
          failure = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (failure)
    std::rethrow_exception(failure);
}

void TBuildRun::Run()
{
  const Corvala::TBuildHooks hooks{
      .Progress = [this](const Corvala::TBuildProgress &progress) { emit progressed(progress); },
      .Cancelled = [this] { return cancelled.load(); },
      .HoldData =
          [this](const std::function<void()> &copy) {
            OnGuiThread(Hold.Pause);
            try {
              copy();
            } catch (...) {
              OnGuiThread(Hold.Resume);
              throw;
            }
            OnGuiThread(Hold.Resume);
          }};
  try {
    Output = Corvala::MakeDistribution(Source, Settings, hooks);
  } catch (const Corvala::TBuildCancelled &) {
    WasCancelled = true;
  } catch (const std::exception &error) {
    Failure = error.what();
  }
  emit finished();
}
