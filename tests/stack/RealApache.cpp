#include "RealApache.h"

#include "stack/ApacheConfig.h"
#include "stack/host/Ports.h"
#include "support/WaitUntil.h"

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace TestSupport;

namespace RealApache
{

namespace
{
const std::string kApache = "/usr/sbin/apache2";
const std::string kModules = "/usr/lib/apache2/modules";
} // namespace

bool Installed()
{
  return fs::exists(kApache) && fs::exists(kModules + "/libphp8.2.so") && fs::exists("/etc/mime.types");
}

Corvala::TStackSetup LinkedStackIn(const TScratchFolder &root)
{
  Corvala::TStackSetup setup;
  setup.appPath = root.Path().string() + "/";
  setup.binFolder = root.File("bin");
  setup.workFolder = root.File("work");
  setup.ip = "127.0.0.1";
  setup.apachePort = Host::FindFreePort(18080, true);
  setup.mySqlPort = 3306;
  setup.runningAsRoot = geteuid() == 0;
  // As root the workers run as nobody and must reach the site.
  fs::permissions(root.Path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
  fs::create_directories(setup.workFolder);
  fs::create_directories(root.File("www"));
  fs::permissions(root.File("www"), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  fs::create_directories(root.File("bin/php"));
  fs::create_directories(root.File("bin/Apache"));
  for (const auto &entry : fs::directory_iterator(kModules))
    fs::create_symlink(entry.path(), root.File("bin/Apache/" + entry.path().filename().string()));
  fs::create_symlink(kModules + "/libphp8.2.so", root.File("bin/php/libphp.so"));
  fs::create_symlink("/etc/mime.types", root.File("bin/Apache/mime.types"));
  return setup;
}

TServer::TServer(const Corvala::TStackSetup &setup) : setup_(setup)
{
  // Tests running side by side may find the same port free: the one that loses the race moves on.
  for (int attempt = 0; attempt < 20 && !serves_; ++attempt) {
    if (attempt > 0) {
      if (ErrorLog().find("Address already in use") == std::string::npos)
        return;
      setup_.apachePort = Host::FindFreePort(setup_.apachePort + 1, true);
    }
    Start();
  }
}

void TServer::Start()
{
  const std::string conf = Corvala::WriteApacheConfig(setup_);
  const std::string output = OutputPath();
  pid_ = fork();
  if (pid_ == 0) {
    // Apache's parent signals its whole process group when it stops.
    setpgid(0, 0);
    const int file = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (file >= 0) {
      dup2(file, STDOUT_FILENO);
      dup2(file, STDERR_FILENO);
    }
    setenv("PHP_INI_SCAN_DIR", "", 1);
    execl(kApache.c_str(), kApache.c_str(), "-f", conf.c_str(), "-DFOREGROUND", static_cast<char *>(nullptr));
    _exit(127);
  }
  if (pid_ < 0)
    return;
  bool ended = false;
  WaitUntil(
      [&] {
        int status = 0;
        ended = waitpid(pid_, &status, WNOHANG) == pid_;
        // Another test's Apache may answer on a port this one could not take: only this one's own
        // log says it listens.
        serves_ = !ended && ErrorLog().find("resuming normal operations") != std::string::npos &&
                  !Request("GET", "/").empty();
        return ended || serves_;
      },
      60s, "Apache to answer");
  if (ended)
    pid_ = -1;
}

TServer::~TServer()
{
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::string TServer::OutputPath() const
{
  return setup_.workFolder + "/apache-output.log";
}

// What stops Apache before its log is open (a port another test took first, among others) goes to
// its standard error.
std::string TServer::ErrorLog() const
{
  return ReadBytes(OutputPath()) + ReadBytes(setup_.workFolder + "/error.log");
}

std::string TServer::Request(const std::string &method, const std::string &target,
                             const std::vector<std::string> &headers, const std::string &body) const
{
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(setup_.apachePort));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string response;
  if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
    std::string request = method + " " + target + " HTTP/1.0\r\n";
    for (const std::string &header : headers)
      request += header + "\r\n";
    if (!body.empty())
      request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                 std::to_string(body.size()) + "\r\n";
    request += "\r\n" + body;
    if (write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size())) {
      char buffer[4096];
      for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        response.append(buffer, static_cast<size_t>(n));
    }
  }
  close(fd);
  return response;
}

int StatusOf(const std::string &response)
{
  const size_t blank = response.find(' ');
  if (!response.starts_with("HTTP/") || blank == std::string::npos)
    return 0;
  return std::atoi(response.c_str() + blank + 1);
}

} // namespace RealApache
