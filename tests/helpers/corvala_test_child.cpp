// A child for the process tests. Modes:
//   sleep SECONDS                 sleep, then exit 0
//   report FILE                   write argv, folder, ids, CORVALA_* variables and open fds to FILE
//   spawn FILE SECONDS            fork+exec this program as "sleep SECONDS", write its id to FILE, sleep
//   intermediate DIE FILE         StartProcess this program as "sleep 60" (dieWithParent = DIE),
//                                 write its id to FILE and exit
//   greeter FILE                  a server on a free loopback port that greets its clients only
//                                 from SIGUSR1 on, as MySQL greets them only once it has started;
//                                 FILE tells what happened: "listening PORT", then "probed" (a
//                                 client came before the greeting), "greets", and on SIGTERM
//                                 "stopped before greeting" or "stopped after greeting"
// Files are written under a temporary name and renamed, so a reader never sees half of one.
#include "files/Paths.h"
#include "process/Process.h"

#include <arpa/inet.h>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
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
  const std::string self = Files::GetProgramPath();
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
  const Base::TProcessId child =
      Process::StartProcess(Files::GetProgramPath(), "sleep 60", Process::TShowCommand::Hide, "",
                            {.parentDeathSignal = dieWithParent ? SIGTERM : 0});
  WriteFileAtomically(file, std::to_string(child));
  return 0;
}

static volatile sig_atomic_t greetSignalled = 0;
static volatile sig_atomic_t stopSignalled = 0;

static int Greeter(const std::string &file)
{
  const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
      listen(listener, 16) != 0 ||
      getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0)
    return 1;
  // The signals are taken only while the program waits, so each one is seen at the next wake-up.
  sigset_t both;
  sigemptyset(&both);
  sigaddset(&both, SIGUSR1);
  sigaddset(&both, SIGTERM);
  sigprocmask(SIG_BLOCK, &both, nullptr);
  signal(SIGUSR1, [](int) { greetSignalled = 1; });
  signal(SIGTERM, [](int) { stopSignalled = 1; });
  sigset_t none;
  sigemptyset(&none);
  WriteFileAtomically(file, "listening " + std::to_string(ntohs(address.sin_port)));
  bool greets = false;
  bool probed = false;
  for (;;) {
    pollfd incoming{listener, POLLIN, 0};
    const int ready = ppoll(&incoming, 1, nullptr, &none);
    if (stopSignalled) {
      WriteFileAtomically(file, greets ? "stopped after greeting" : "stopped before greeting");
      return 0;
    }
    if (greetSignalled && !greets) {
      greets = true;
      WriteFileAtomically(file, "greets");
    }
    if (ready != 1)
      continue;
    const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0)
      continue;
    if (greets) {
      if (write(client, "G", 1) != 1) {
        // The client has gone already; the next one is greeted all the same.
      }
    } else if (!probed) {
      probed = true;
      WriteFileAtomically(file, "probed");
    }
    close(client);
  }
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
  if (mode == "greeter" && argc == 3)
    return Greeter(argv[2]);
  return 2;
}
