#pragma once

#include <QObject>
#include <string>

namespace Process
{
class TExitSignals;
}
class QSocketNotifier;
class QTimer;

// Notices the outside requests to end the program: the exit signals, caught before this watch
// existed or while it runs, and the program's own file disappearing (its removable disk taken out,
// say). Either emits exitRequested once, on the GUI thread.
class TExitWatch : public QObject
{
  Q_OBJECT

public:
  // Watches ExitSignals and ProgramFile, the file checked every CheckIntervalMs.
  TExitWatch(const std::string &programFile, Process::TExitSignals &exitSignals, int checkIntervalMs = 1000,
             QObject *parent = nullptr);

signals:
  void exitRequested();

private:
  void SignalArrived();
  void CheckProgramFile();
  void RequestExit();

  std::string programFile;
  Process::TExitSignals &exitSignals;
  QSocketNotifier *signalNotifier;
  QTimer *fileCheck;
  bool requested = false;
};
