#pragma once

#include <QObject>
#include <string>

class QSocketNotifier;
class QTimer;

// Notices the outside requests to end the program: SIGTERM, SIGINT or SIGHUP sent to the process,
// and the program's own file disappearing (its removable disk taken out, say). Either emits
// exitRequested once, on the GUI thread. One watch per process, since signal dispositions are
// process-wide; destroying it gives the signals back their default dispositions.
class TExitWatch : public QObject
{
  Q_OBJECT

public:
  // Watches ProgramFile, checked every CheckIntervalMs.
  explicit TExitWatch(const std::string &programFile, int checkIntervalMs = 1000, QObject *parent = nullptr);
  ~TExitWatch() override;

  TExitWatch(const TExitWatch &) = delete;
  TExitWatch &operator=(const TExitWatch &) = delete;

signals:
  void exitRequested();

private:
  void SignalArrived();
  void CheckProgramFile();
  void RequestExit();

  std::string programFile;
  int pipeFds[2] = {-1, -1};
  QSocketNotifier *signalNotifier;
  QTimer *fileCheck;
  bool requested = false;
};
