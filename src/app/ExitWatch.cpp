#include "app/ExitWatch.h"

#include "files/Paths.h"
#include "process/ExitSignals.h"

#include <QSocketNotifier>
#include <QTimer>

TExitWatch::TExitWatch(const std::string &file, Process::TExitSignals &caught, int checkIntervalMs,
                       QObject *parent)
    : QObject(parent), programFile(file), exitSignals(caught)
{
  signalNotifier = new QSocketNotifier(exitSignals.ReadFd(), QSocketNotifier::Read, this);
  connect(signalNotifier, &QSocketNotifier::activated, this, &TExitWatch::SignalArrived);

  fileCheck = new QTimer(this);
  fileCheck->setInterval(checkIntervalMs);
  connect(fileCheck, &QTimer::timeout, this, &TExitWatch::CheckProgramFile);
  fileCheck->start();

  // A signal taken from the pipe before this watch existed leaves nothing for the notifier to see.
  if (exitSignals.Arrived())
    QTimer::singleShot(0, this, &TExitWatch::RequestExit);
}

void TExitWatch::SignalArrived()
{
  if (exitSignals.Arrived())
    RequestExit();
}

void TExitWatch::CheckProgramFile()
{
  if (!Files::FileExists(programFile))
    RequestExit();
}

void TExitWatch::RequestExit()
{
  if (requested)
    return;
  requested = true;
  fileCheck->stop();
  emit exitRequested();
}
