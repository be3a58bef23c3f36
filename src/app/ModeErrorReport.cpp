#include "app/ModeErrorReport.h"

#include "process/CommandError.h"

#include <QApplication>
#include <QMessageBox>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

bool DisplayNamed()
{
  const char *x11 = std::getenv("DISPLAY");
  const char *wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

void ShowBox(const std::string &message)
{
  QMessageBox box(QMessageBox::Critical, Process::CommandErrorCaption, QString::fromStdString(message),
                  QMessageBox::Ok);
  box.setObjectName("ApplicationError");
  box.exec();
}

// Qt ends the process when its platform cannot be loaded, so the box is tried in a child: when the
// display turns out to be unusable, only the child dies and the line on standard error stands.
void ShowBoxInChild(const std::string &message)
{
  const pid_t child = fork();
  if (child < 0)
    return;
  if (child == 0) {
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0)
      dup2(null, STDERR_FILENO);
    static char name[] = "corvala";
    static char *argv[] = {name, nullptr};
    int argc = 1;
    QApplication application(argc, argv);
    // A platform that draws nowhere (offscreen, minimal) would keep the box waiting for ever.
    const QString platform = QGuiApplication::platformName();
    if (platform == "xcb" || platform.startsWith("wayland"))
      ShowBox(message);
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

} // namespace

void ReportModeError(const std::string &message)
{
  std::fprintf(stderr, "%s\n", Process::CommandErrorLine(message).c_str());
  std::fflush(stderr);
  if (!DisplayNamed())
    return;
  if (qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr)
    ShowBox(message);
  else
    ShowBoxInChild(message);
}
