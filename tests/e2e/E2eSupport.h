#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// Helpers for the end-to-end tests: a movable installation made from the stack kit's tree, the
// window-less launcher started as a real child, plain HTTP over loopback, and a view of /proc.
namespace E2e
{

// A fresh installation in a temporary folder whose name holds a blank: the driver program as
// "corvala", bin and www linked file by file from the kit tree, data copied (the servers write it).
class TInstall
{
public:
  TInstall();
  ~TInstall();
  TInstall(const TInstall &) = delete;
  TInstall &operator=(const TInstall &) = delete;

  const std::string &Root() const { return root_; }
  std::string Program() const { return root_ + "/corvala"; }
  std::string Path(const std::string &relative) const { return root_ + "/" + relative; }
  // Replaces the configuration carried in the program file (as the settings command does).
  void SetConfig(const std::string &iniText) const;
  // Hands the whole installation to another user (for the unprivileged runs).
  void GiveTo(uid_t uid, gid_t gid) const;

private:
  std::string root_;
};

// The driver running as a child; its report lines are parsed into values.
class TLauncher
{
public:
  // Starts Program with the given environment additions, optionally as another user.
  TLauncher(const std::string &program, const std::map<std::string, std::string> &environment = {},
            uid_t asUser = static_cast<uid_t>(-1));
  ~TLauncher();
  TLauncher(const TLauncher &) = delete;
  TLauncher &operator=(const TLauncher &) = delete;

  // Reads report lines until "ready", "already-running" or an error; false when it ended otherwise.
  bool WaitReady();
  std::string Value(const std::string &key) const;
  int IntValue(const std::string &key) const;
  const std::string &LastLine() const { return lastLine_; }
  // Asks for the clean stop and waits for the exit; gives the exit code.
  int Stop();
  // SIGKILL, as when the launcher dies without any clean-up.
  void Kill();
  pid_t Pid() const { return pid_; }

private:
  bool ReadLine(std::string &line);
  pid_t pid_ = -1;
  int toChild_ = -1;
  int fromChild_ = -1;
  std::string buffer_;
  std::string lastLine_;
  std::map<std::string, std::string> values_;
};

// GET http://127.0.0.1:port/path; gives the status code and the body (0 when nothing answered).
struct THttpReply {
  int status = 0;
  std::string body;
};
THttpReply HttpGet(int port, const std::string &path);

// Ids of running processes whose executable lies below the folder.
std::vector<pid_t> ProcessesBelow(const std::string &folder);

// Holds a listening socket on 127.0.0.1:port (or all addresses) until destroyed.
class TPortHolder
{
public:
  explicit TPortHolder(int port, bool allAddresses = false);
  ~TPortHolder();
  bool Holding() const { return fd_ >= 0; }

private:
  int fd_ = -1;
};

// Runs a shell command; gives its standard output.
std::string Shell(const std::string &command);

} // namespace E2e
