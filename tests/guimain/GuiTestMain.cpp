// Runs the shell and packaging tests inside a real X display with a window manager. When DISPLAY
// is not set, a private Xvfb and openbox are started for the run and stopped at its end.
#include "shell/ErrorReport.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

pid_t Spawn(const std::vector<std::string> &command, int keepFd = -1)
{
  const pid_t child = fork();
  if (child == 0) {
    if (keepFd < 0) {
      freopen("/dev/null", "w", stdout);
    }
    freopen("/dev/null", "w", stderr);
    std::vector<char *> argv;
    for (const std::string &part : command)
      argv.push_back(const_cast<char *>(part.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return child;
}

void Stop(pid_t child)
{
  if (child > 0) {
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
  }
}

// Starts Xvfb on the first free display number and gives its process id. It must not reset when
// its last client leaves: a client connecting meanwhile would be turned away.
pid_t StartXvfb()
{
  int pipeFds[2];
  if (pipe(pipeFds) != 0)
    return -1;
  const pid_t server = Spawn({"Xvfb", "-displayfd", std::to_string(pipeFds[1]), "-screen", "0", "1280x800x24",
                              "-nolisten", "tcp", "-noreset", "-s", "0", "-dpms"},
                             pipeFds[1]);
  close(pipeFds[1]);
  std::string number;
  char c;
  while (read(pipeFds[0], &c, 1) == 1 && c != '\n')
    number += c;
  close(pipeFds[0]);
  if (number.empty()) {
    Stop(server);
    return -1;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return server;
}

} // namespace

int main(int argc, char **argv)
{
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();

  pid_t xvfb = 0;
  pid_t windowManager = 0;
  const char *display = getenv("DISPLAY");
  if (!display || !*display) {
    xvfb = StartXvfb();
    if (xvfb < 0) {
      fprintf(stderr, "could not start Xvfb\n");
      return 1;
    }
    windowManager = Spawn({"openbox"});
  }

  setenv("QT_QPA_PLATFORM", "xcb", 1);
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-dev-shm-usage", 1);
  setenv("QT_QUICK_BACKEND", "software", 1);
  if (geteuid() == 0)
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

  int result;
  {
    TCorvalaApplication application(argc, argv);
    result = RUN_ALL_TESTS();
  }
  Stop(windowManager);
  Stop(xvfb);
  return result;
}
