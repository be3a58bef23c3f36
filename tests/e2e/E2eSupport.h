#pragma once

#include "support/PortHolder.h"
#include "support/WaitUntil.h"

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// Helpers for the end-to-end tests: a movable installation made from the stack kit's tree, the
// window-less launcher started as a real child, plain HTTP over loopback, and a view of /proc.
namespace E2e
{

using namespace std::chrono_literals;
using TestSupport::WaitUntil;

// A fresh installation in a folder whose name holds a blank, made in parent (the temporary folder,
// $TMPDIR or /tmp, when empty): the program (the window-less driver unless another is given) as
// "corvala", bin and www linked file by file from the kit tree, data copied (the servers write it).
class TInstall
{
public:
  explicit TInstall(const std::string &program = CORVALA_DRIVER, const std::string &parent = "");
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

// Replaces the site's first page with one whose title tells what the servers did: "E2E MySQL
// connected on port N" or "E2E MySQL not available", then ", site port P" with Apache's port.
void WriteStatusPage(const TInstall &install);

// Replaces the site's first page with a static page of the given HTML.
void WriteFirstPage(const TInstall &install, const std::string &html);

// The driver running as a child; its report lines are parsed into values.
class TLauncher
{
public:
  // Starts Program with the given environment additions, optionally as another user, and with its
  // standard error (which the servers share) going to ErrorFile when one is given.
  TLauncher(const std::string &program, const std::map<std::string, std::string> &environment = {},
            uid_t asUser = static_cast<uid_t>(-1), const std::string &errorFile = {});
  ~TLauncher();
  TLauncher(const TLauncher &) = delete;
  TLauncher &operator=(const TLauncher &) = delete;

  // Reads report lines until "ready", "already-running" or an error; false when it ended otherwise.
  bool WaitReady();
  std::string Value(const std::string &key) const;
  int IntValue(const std::string &key) const;
  const std::string &LastLine() const { return lastLine_; }
  // Sends a request line and reads report lines until one for Key; false when none came.
  bool Request(const std::string &line, const std::string &key);
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

// A loopback port that nobody listens on now (0 when none could be had).
int FreePort();

// Whether the MySQL server listening on the Unix socket serves: it greets a new connection. One that
// has only opened its socket may still be starting, and MariaDB can hang for good on a SIGTERM then.
bool MySqlServes(const std::string &socketPath);

// Whether the process runs (a zombie does not).
bool Running(pid_t pid);

// Ids of running processes whose executable lies below the folder.
std::vector<pid_t> ProcessesBelow(const std::string &folder);

using TestSupport::TPortHolder;

// Text as one single-quoted shell word.
std::string Quoted(const std::string &text);

// Runs a shell command; gives its standard output.
std::string Shell(const std::string &command);

// Processes of Program whose only argument is the program itself (the launcher instances), or whose
// first argument is FirstArgument.
std::vector<pid_t> InstancesOf(const std::string &program, const std::string &firstArgument = {});

// Writes "<root>.mountinfo", a mount table in which the installation's folder is a CD (iso9660),
// for CORVALA_MOUNTINFO; gives its path.
std::string WriteCdMountInfo(const TInstall &install);

// Ends every launcher instance of the installation with SIGTERM, as the session's end does, and
// expects it and every process it started below the installation to be gone within their limits.
void StopLauncher(const TInstall &install);

// Starts the program as a user would (no marker) with the given environment additions, and its
// standard error going to ErrorFile when one is given; waits for that first process to end and
// gives its exit code.
int StartAsUser(const std::string &program, const std::map<std::string, std::string> &environment = {},
                const std::string &errorFile = {});

// One line of the start-up trace: a step from start to end, or a moment (start equal to end), in
// milliseconds since the first launcher process started.
struct TTraceLine {
  pid_t pid = 0;
  double start = 0;
  double end = 0;
  std::string step;
};
// The trace lines in the file, in file order; other lines are skipped.
std::vector<TTraceLine> ReadTrace(const std::string &file);

// The names of the display's windows whose name matches the pattern, one a line; with an Owner,
// only the shown windows of that process.
std::string WindowNamed(const std::string &pattern, pid_t owner = 0);

// Saves the whole screen as Name in Folder, which is created when missing.
void SaveScreenshot(const std::string &folder, const std::string &name);

} // namespace E2e
