// A child for the process tests. Modes:
//   sleep SECONDS                 sleep, then exit 0
//   report FILE                   write argv, folder, ids, CORVALA_* variables and open fds to FILE
//   spawn FILE SECONDS            fork+exec this program as "sleep SECONDS", write its id to FILE, sleep
//   intermediate DIE FILE         StartProcess this program as "sleep 60" (dieWithParent = DIE),
//                                 write its id to FILE and exit
// Files are written under a temporary name and renamed, so a reader never sees half of one.
#include "utils/Paths.h"
#include "utils/Process.h"

#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

static void WriteFileAtomically(const std::string &path, const std::string &text)
{
  const std::string temporary = path + ".part";
  std::ofstream(temporary, std::ios::binary) << text;
  std::rename(temporary.c_str(), path.c_str());
}

static void SleepSeconds(unsigned seconds)
{
  while (seconds > 0)
    seconds = sleep(seconds);
}

static std::string OpenDescriptors()
{
  std::string list;
  DIR *dir = opendir("/proc/self/fd");
  if (dir == nullptr)
    return "unreadable";
  while (const dirent *entry = readdir(dir)) {
    if (entry->d_name[0] == '.')
      continue;
    const int fd = std::atoi(entry->d_name);
    if (fd > 2 && fd != dirfd(dir))
      list += std::string(list.empty() ? "" : ",") + entry->d_name;
  }
  closedir(dir);
  return list;
}

static int Report(int argc, char **argv, const std::string &file)
{
  std::string text;
  for (int i = 0; i < argc; ++i)
    text += "arg=" + std::string(argv[i]) + "\n";
  char folder[4096];
  text += "cwd=" + std::string(getcwd(folder, sizeof folder) ? folder : "") + "\n";
  text += "pid=" + std::to_string(getpid()) + "\n";
  text += "pgid=" + std::to_string(getpgid(0)) + "\n";
  for (char **entry = environ; *entry != nullptr; ++entry)
    if (std::strncmp(*entry, "CORVALA_", 8) == 0)
      text += "env=" + std::string(*entry) + "\n";
  text += "fds=" + OpenDescriptors() + "\n";
  WriteFileAtomically(file, text);
  return 0;
}

static int Spawn(const std::string &file, const char *seconds)
{
  const std::string self = AppUtils::GetProgramPath();
  const pid_t child = fork();
  if (child == 0) {
    execl(self.c_str(), self.c_str(), "sleep", seconds, static_cast<char *>(nullptr));
    _exit(127);
  }
  WriteFileAtomically(file, std::to_string(child));
  SleepSeconds(static_cast<unsigned>(std::atoi(seconds)));
  waitpid(child, nullptr, 0);
  return 0;
}

static int Intermediate(bool dieWithParent, const std::string &file)
{
  const AppUtils::TProcessId child =
      AppUtils::StartProcess(AppUtils::GetProgramPath(), "sleep 60", AppUtils::TShowCommand::Hide, "",
                             {.parentDeathSignal = dieWithParent ? SIGTERM : 0});
  WriteFileAtomically(file, std::to_string(child));
  return 0;
}

int main(int argc, char **argv)
{
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "sleep" && argc == 3) {
    SleepSeconds(static_cast<unsigned>(std::atoi(argv[2])));
    return 0;
  }
  if (mode == "report" && argc >= 3)
    return Report(argc, argv, argv[2]);
  if (mode == "spawn" && argc == 4)
    return Spawn(argv[2], argv[3]);
  if (mode == "intermediate" && argc == 4)
    return Intermediate(std::strcmp(argv[2], "1") == 0, argv[3]);
  return 2;
}
