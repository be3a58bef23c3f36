// A small program for the exit tests: runs an event loop with a TExitWatch on its own file, prints
// "ready" once watching, and on an exit request prints "closing" and leaves the loop the way the
// launcher's CloseApplication does. Exit code 0 then; a signal's default action would end it
// without "closing". With the argument "early" it sends itself SIGTERM before its event loop
// exists, as a request that arrives while the launcher starts its servers.
#include "app/ExitWatch.h"
#include "files/Paths.h"
#include "process/ExitSignals.h"

#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
  Process::TExitSignals exitSignals;
  if (argc > 1 && std::strcmp(argv[1], "early") == 0)
    raise(SIGTERM);
  QCoreApplication application(argc, argv);
  TExitWatch watch(Files::GetProgramPath(), exitSignals, 50);
  QObject::connect(&watch, &TExitWatch::exitRequested, [] {
    std::printf("closing\n");
    std::fflush(stdout);
    QCoreApplication::quit();
  });
  QTimer::singleShot(0, [] {
    std::printf("ready\n");
    std::fflush(stdout);
  });
  return application.exec();
}
