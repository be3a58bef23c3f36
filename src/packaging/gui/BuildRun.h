#pragma once

#include "packaging/DistributionBuild.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

// Pauses and resumes the running database server, on the GUI thread, so that its data folder
// holds still for the copy. Either may be unset.
struct TDataHold {
  std::function<void()> Pause;
  std::function<void()> Resume;
};

// One distribution build on a thread of its own. Progress and the end arrive as signals on the
// GUI thread; the database pause and resume run there too, while the build thread waits.
class TBuildRun : public QObject
{
  Q_OBJECT

public:
  TBuildRun(Corvala::TBuildSource source, Corvala::TBrandSettings settings, TDataHold hold);
  // Cancels a build still running and waits for its thread.
  ~TBuildRun() override;
  TBuildRun(const TBuildRun &) = delete;
  TBuildRun &operator=(const TBuildRun &) = delete;

  void Start();
  // Asks the build to stop; it removes what it made and then ends.
  void Cancel() { cancelled = true; }
  bool Ended() const { return ended; }

  // After the end: the output folder, or why there is none.
  std::string Output;
  std::optional<std::string> Failure;
  bool WasCancelled = false;
  // The settings as the build left them (the output folder and the icon it decided on).
  Corvala::TBrandSettings Settings;

signals:
  void progressed(const Corvala::TBuildProgress &progress);
  void finished();

private:
  void Run();
  // Runs Step on the GUI thread and waits for it; its exception is raised here.
  void OnGuiThread(const std::function<void()> &step);

  Corvala::TBuildSource Source;
  TDataHold Hold;
  std::atomic<bool> cancelled{false};
  bool ended = false;
  std::thread thread;
};
