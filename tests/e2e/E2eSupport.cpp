#include "E2eSupport.h"

#include "support/Screenshot.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace E2e
{

std::string Quoted(const std::string &text)
{
  std::string result = "'";
  for (const char c : text)
    result += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return result + "'";
}

namespace
{
void Run(const std::string &command)
{
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("command failed: " + command);
}
} // namespace

std::string Shell(const std::string &command)
{
  std::string output;
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr)
    return output;
  std::array<char, 4096> chunk{};
  size_t n = 0;
  while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
    output.append(chunk.data(), n);
  pclose(pipe);
  return output;
}

TInstall::TInstall(const std::string &program, const std::string &parent)
{
  const std::string base = parent.empty() ? std::filesystem::temp_directory_path().string() : parent;
  std::string pattern = base + "/corvala e2e XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary installation folder in " + base);
  root_ = pattern;
  chmod(root_.c_str(), 0755);
  const std::string kit = CORVALA_STACK_TREE;
  Run("cp " + Quoted(program) + " " + Quoted(Program()));
  for (const char *tree : {"/bin", "/www"}) {
    // Linked when the system lets us (a normal user may not link another user's files), else copied.
    const std::string from = Quoted(kit + tree);
    const std::string to = Quoted(root_ + tree);
    Run("cp -al " + from + " " + to + " 2>/dev/null || { rm -rf " + to + " && cp -a " + from + " " + to +
        "; }");
  }
  Run("cp -a " + Quoted(kit + "/data") + " " + Quoted(Path("data")));
}

TInstall::~TInstall()
{
  std::system(("rm -rf " + Quoted(root_)).c_str());
}

void TInstall::SetConfig(const std::string &iniText) const
{
  const std::string iniFile = root_ + ".ini";
  std::ofstream(iniFile, std::ios::binary) << iniText;
  Run(Quoted(CORVALA_RESTOOL) + " set " + Quoted(Program()) + " 10 RES_CONFIG_INI 0 " + Quoted(iniFile));
  std::remove(iniFile.c_str());
}

void WriteFirstPage(const TInstall &install, const std::string &html)
{
  std::filesystem::remove(install.Path("www/index.php"));
  std::ofstream(install.Path("www/index.html")) << html;
}

void WriteStatusPage(const TInstall &install)
{
  static constexpr char page[] = R"(<?php
$port = (int) ini_get('mysqli.default_port');
$status = 'MySQL not available';
// A down-sized installation has no mysqli extension at all.
if (class_exists('mysqli')) {
  mysqli_report(MYSQLI_REPORT_OFF);
  $db = @new mysqli('127.0.0.1', 'root', '', '', $port);
  if (!$db->connect_errno)
    $status = "MySQL connected on port $port";
}
$status .= ', site port ' . $_SERVER['SERVER_PORT'];
?><html><head><title>E2E <?= $status ?></title></head><body><h1><?= $status ?></h1></body></html>
)";
  // www is linked into the kit tree: the new page must not write through the link.
  const std::string path = install.Path("www/index.php");
  std::remove(path.c_str());
  std::ofstream(path, std::ios::binary) << page;
}

void TInstall::GiveTo(uid_t uid, gid_t gid) const
{
  // bin and www are hard links into the kit tree: give the servers' data only, and copies of the
  // program, so the kit tree itself keeps its owner.
  const std::string owner = std::to_string(uid) + ":" + std::to_string(gid);
  Run("chown -R " + owner + " " + Quoted(Path("data")));
  Run("chown " + owner + " " + Quoted(Program()) + " " + Quoted(root_));
}

TLauncher::TLauncher(const std::string &program, const std::map<std::string, std::string> &environment,
                     uid_t asUser, const std::string &errorFile)
{
  int in[2];
  int out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    if (!errorFile.empty()) {
      const int fd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
      if (fd < 0 || dup2(fd, STDERR_FILENO) < 0)
        _exit(125);
    }
    for (const auto &[name, value] : environment)
      setenv(name.c_str(), value.c_str(), 1);
    if (asUser != static_cast<uid_t>(-1)) {
      if (setgid(65534) != 0 || setuid(asUser) != 0)
        _exit(126);
    }
    execl(program.c_str(), program.c_str(), nullptr);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  toChild_ = in[1];
  fromChild_ = out[0];
}

TLauncher::~TLauncher()
{
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(toChild_);
  close(fromChild_);
}

bool TLauncher::ReadLine(std::string &line)
{
  for (;;) {
    const size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return true;
    }
    pollfd fd{fromChild_, POLLIN, 0};
    if (poll(&fd, 1, 120000) <= 0)
      return false;
    char chunk[4096];
    const ssize_t n = read(fromChild_, chunk, sizeof chunk);
    if (n <= 0)
      return false;
    buffer_.append(chunk, static_cast<size_t>(n));
  }
}

bool TLauncher::WaitReady()
{
  std::string line;
  while (ReadLine(line)) {
    lastLine_ = line;
    if (line == "ready")
      return true;
    if (line == "already-running")
      return false;
    const size_t equals = line.find('=');
    if (equals != std::string::npos)
      values_[line.substr(0, equals)] = line.substr(equals + 1);
    if (line.rfind("error=", 0) == 0)
      return false;
  }
  return false;
}

std::string TLauncher::Value(const std::string &key) const
{
  const auto found = values_.find(key);
  return found == values_.end() ? std::string() : found->second;
}

int TLauncher::IntValue(const std::string &key) const
{
  return std::atoi(Value(key).c_str());
}

bool TLauncher::Request(const std::string &line, const std::string &key)
{
  const std::string request = line + "\n";
  if (write(toChild_, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
    return false;
  for (std::string reply; ReadLine(reply);) {
    lastLine_ = reply;
    const size_t equals = reply.find('=');
    if (equals == std::string::npos)
      continue;
    values_[reply.substr(0, equals)] = reply.substr(equals + 1);
    if (reply.substr(0, equals) == key)
      return true;
  }
  return false;
}

int TLauncher::Stop()
{
  // A launcher that has already ended closed its end of the pipe; that is no reason to die here.
  signal(SIGPIPE, SIG_IGN);
  if (write(toChild_, "stop\n", 5) != 5)
    kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void TLauncher::Kill()
{
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

THttpReply HttpGet(int port, const std::string &path)
{
  THttpReply reply;
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  timeval timeout{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0) {
    const std::string request = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) +
                                "\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
      std::string response;
      char chunk[8192];
      ssize_t n = 0;
      while ((n = recv(fd, chunk, sizeof chunk, 0)) > 0)
        response.append(chunk, static_cast<size_t>(n));
      if (response.rfind("HTTP/", 0) == 0 && response.size() > 12)
        reply.status = std::atoi(response.c_str() + 9);
      const size_t bodyStart = response.find("\r\n\r\n");
      if (bodyStart != std::string::npos)
        reply.body = response.substr(bodyStart + 4);
    }
  }
  close(fd);
  return reply;
}

std::vector<pid_t> ProcessesBelow(const std::string &folder)
{
  std::vector<pid_t> found;
  DIR *proc = opendir("/proc");
  if (proc == nullptr)
    return found;
  while (const dirent *entry = readdir(proc)) {
    const pid_t pid = std::atoi(entry->d_name);
    if (pid <= 0)
      continue;
    char target[4096];
    const std::string link = "/proc/" + std::string(entry->d_name) + "/exe";
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)).rfind(folder + "/", 0) == 0)
      found.push_back(pid);
  }
  closedir(proc);
  return found;
}

int FreePort()
{
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  close(fd);
  return port;
}

bool MySqlServes(const std::string &socketPath)
{
  sockaddr_un address{};
  if (socketPath.size() >= sizeof address.sun_path)
    return false;
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, socketPath.c_str());
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    return false;
  bool greeted = false;
  if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0) {
    pollfd readable{fd, POLLIN, 0};
    char byte = 0;
    greeted = poll(&readable, 1, 1000) == 1 && recv(fd, &byte, 1, 0) == 1;
  }
  close(fd);
  return greeted;
}

bool Running(pid_t pid)
{
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("State:", 0) == 0)
      return line.find('Z') == std::string::npos;
  return false;
}

std::vector<pid_t> InstancesOf(const std::string &program, const std::string &firstArgument)
{
  namespace fs = std::filesystem;
  std::vector<pid_t> found;
  for (const auto &entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    std::ifstream file(entry.path() / "cmdline", std::ios::binary);
    std::vector<std::string> args;
    for (std::string arg; std::getline(file, arg, '\0');)
      args.push_back(arg);
    if (args.empty() || args[0] != program)
      continue;
    if ((firstArgument.empty() && args.size() == 1) || (args.size() > 1 && args[1] == firstArgument))
      found.push_back(std::stoi(name));
  }
  return found;
}

std::string WriteCdMountInfo(const TInstall &install)
{
  const std::string mountinfo = install.Root() + ".mountinfo";
  // The table escapes blanks in paths as octal.
  std::string mountPoint;
  for (const char c : install.Root())
    mountPoint += c == ' ' ? std::string("\\040") : std::string(1, c);
  std::ofstream(mountinfo) << "22 1 0:21 / / rw,relatime - ext4 /dev/vda rw\n"
                           << "90 22 11:0 / " << mountPoint << " ro,relatime - iso9660 /dev/sr0 ro\n";
  return mountinfo;
}

void StopLauncher(const TInstall &install)
{
  for (const pid_t launcher : InstancesOf(install.Program()))
    kill(launcher, SIGTERM);
  EXPECT_TRUE(WaitUntil([&] { return InstancesOf(install.Program()).empty(); }, 30s, "the launcher to end"));
  EXPECT_TRUE(WaitUntil([&] { return ProcessesBelow(install.Root()).empty(); }, 5s, "the servers to end"));
}

int StartAsUser(const std::string &program, const std::map<std::string, std::string> &environment,
                const std::string &errorFile)
{
  const pid_t pid = fork();
  if (pid == 0) {
    unsetenv("CORVALA_SHOW");
    for (const auto &[name, value] : environment)
      setenv(name.c_str(), value.c_str(), 1);
    if (!errorFile.empty()) {
      const int fd = open(errorFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
      if (fd < 0 || dup2(fd, STDERR_FILENO) < 0)
        _exit(125);
    }
    execl(program.c_str(), program.c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<TTraceLine> ReadTrace(const std::string &file)
{
  std::vector<TTraceLine> lines;
  std::ifstream in(file);
  for (std::string text; std::getline(in, text);) {
    TTraceLine line;
    int pid = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "corvala-trace %d: %lf %n", &pid, &line.start, &used) != 2)
      continue;
    const char *rest = text.c_str() + used;
    int more = 0;
    line.end = line.start;
    // A step reads "START .. END ms NAME", a moment "AT ms NAME".
    if (std::sscanf(rest, ".. %lf ms %n", &line.end, &more) != 1)
      std::sscanf(rest, "ms %n", &more);
    if (more == 0)
      continue;
    line.step = rest + more;
    line.pid = pid;
    lines.push_back(line);
  }
  return lines;
}

std::string WindowNamed(const std::string &pattern, pid_t owner)
{
  const std::string ownerOnly = owner == 0 ? "" : "--all --onlyvisible --pid " + std::to_string(owner) + " ";
  return Shell("xdotool search " + ownerOnly + "--name " + Quoted(pattern) + " getwindowname %@ 2>/dev/null");
}

void SaveScreenshot(const std::string &folder, const std::string &name)
{
  TestSupport::SaveScreenshot(std::filesystem::path(folder) / name);
}

} // namespace E2e
