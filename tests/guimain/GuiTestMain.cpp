// Runs the shell and packaging tests inside a real X display with a window manager and a tray.
// Without DISPLAY, the program runs itself again inside the display the test scripts use
// (scripts/display.sh), which is stopped when it ends.
#include "browser/WebEngineEnvironment.h"

#include "SanitizerGl.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

bool ListsTestsOnly(int argc, char **argv)
{
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
      return true;
  return false;
}

// A shell sources the display script, runs this program with the same arguments, and stops the
// display when the program ends; gives only when the shell could not be started.
void RunInsideATestDisplay(char **argv)
{
  std::string self = std::filesystem::read_symlink("/proc/self/exe");
  std::vector<char *> command{const_cast<char *>("bash"), const_cast<char *>("-c"),
                              const_cast<char *>("source \"$0\" && \"$@\""),
                              const_cast<char *>(CORVALA_DISPLAY_SCRIPT), self.data()};
  for (char **argument = argv + 1; *argument; ++argument)
    command.push_back(*argument);
  command.push_back(nullptr);
  execvp(command[0], command.data());
  perror("bash");
}

} // namespace

int main(int argc, char **argv)
{
  KeepSoftwareGlDriverLoaded();
  const char *display = getenv("DISPLAY");
  if ((!display || !*display) && !ListsTestsOnly(argc, argv)) {
    RunInsideATestDisplay(argv);
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests))
    return RUN_ALL_TESTS();

  setenv("QT_QPA_PLATFORM", "xcb", 1);
  Corvala::PrepareWebEngineEnvironment();
  // A plain application object, without the program's last net for exceptions that escape an event
  // handler: a command slot that let one escape would end the test program here.
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
