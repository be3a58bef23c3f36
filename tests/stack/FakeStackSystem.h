#pragma once

// A machine the server stack's tests script: processes and ports are records, the clock moves only
// when the stack sleeps, and the installation is a scratch folder whose bin folder is empty.
#include "stack/ServerStack.h"
#include "support/TestSupport.h"

#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace StackFakes
{

struct TStartedProcess {
  std::string program;
  std::string parameters;
  Base::TProcessId id = 0;
  // Started with write rules from ConfineWrites: the folders they allow.
  bool confined = false;
  Base::TStringArray writableFolders;
};

class TFakeProcesses final : public Corvala::TStackProcesses
{
public:
  Base::TProcessId Start(const std::string &program, const std::string &parameters,
                         Process::TShowCommand show, const Process::StartOptions &options) override;
  std::string LastStartError() override { return StartError; }
  bool Exists(Base::TProcessId id) override { return Running.count(id) != 0; }
  bool IsStopped(Base::TProcessId id) override { return Halted.count(id) != 0; }
  Base::TCardinalArray FindByPath(const std::string &exePath) override;
  std::vector<bool> StopStarted(const std::vector<Corvala::TServerProcess> &servers,
                                std::chrono::milliseconds grace,
                                const std::function<void()> &processEvents) override;
  void StopByPath(const std::string &exePath, std::chrono::milliseconds grace,
                  const std::function<void()> &processEvents) override;
  void EndChild(Base::TProcessId id) override;
  // Rules whose descriptor stands for the folders, as long as they are open; with Landlock off, the
  // reason instead. As the real rules, a folder that is missing is an error.
  Process::TWriteConfinement ConfineWrites(const Base::TStringArray &folders) override;

  // The ids started from Program, in order.
  std::vector<Base::TProcessId> IdsOf(const std::string &program) const;

  // Called after each start, the process running; may end it at once.
  std::function<void(const TStartedProcess &)> OnStart;
  // Programs whose start fails.
  std::set<std::string> Failing;
  // The kernel has Landlock.
  bool Landlock = true;
  // Programs whose running process has started a worker from the same executable (Apache's).
  std::set<std::string> WithWorker;

  std::set<Base::TProcessId> Running;
  // Running processes stopped by a signal; an Apache worker's id is its parent's plus one.
  std::set<Base::TProcessId> Halted;
  std::vector<TStartedProcess> Started;
  // Every started server the stack asked to stop, in order.
  std::vector<Corvala::TServerProcess> Stopped;
  // The executables whose leftover processes were stopped.
  std::vector<std::string> LeftoversStopped;
  std::vector<Base::TProcessId> EndedChildren;

private:
  Base::TProcessId NextId = 1000;
  std::string StartError;
  // The folders each handed-out rules descriptor allows.
  std::map<int, Base::TStringArray> Rules;
};

class TFakeClock final : public Corvala::TStackClock
{
public:
  std::chrono::steady_clock::time_point Now() override { return Moment; }
  void Sleep(std::chrono::milliseconds duration) override { Moment += duration; }

  std::chrono::steady_clock::time_point Moment{std::chrono::hours(1000)};
};

class TFakePorts final : public Corvala::TStackPorts
{
public:
  int FindFree(int first, bool localOnly) override;
  bool InUse(int port, bool) override { return Taken.count(port) != 0; }
  // A look that gets no greeting is refused at once, as a connection to a socket nobody serves is.
  bool GreetsOnSocket(const std::string &path, std::chrono::milliseconds wait) override;

  // Ports other programs hold.
  std::set<int> Taken;
  // MySQL greets its clients (on its socket, unless that is silent).
  bool Greeting = true;
  // How often a greeting was looked for.
  int Looks = 0;
  // Sockets whose server does not answer (it has not made them yet).
  std::set<std::string> SilentSockets;
};

class TFakeFiles final : public Corvala::TStackFiles
{
public:
  bool FolderExists(const std::string &path) override { return Folders.count(path) != 0; }
  bool DeleteFolder(const std::string &path) override { return Delete(Folders, path); }
  bool FileExists(const std::string &path) override { return Files.count(path) != 0; }
  bool DeleteFile(const std::string &path) override { return Delete(Files, path); }
  Base::TStringArray FileNames(const std::string &folder) override;

  std::set<std::string> Folders;
  std::set<std::string> Files;
  // How many more deletions of a path fail (it is still held open).
  std::map<std::string, int> Refusals;
  // How many deletions of each path were tried.
  std::map<std::string, int> Attempts;

private:
  bool Delete(std::set<std::string> &paths, const std::string &path);
};

class TFakeInstallation final : public Corvala::TStackInstallation
{
public:
  explicit TFakeInstallation(const TestSupport::TScratchFolder &scratch);
  std::string ProgramPath() override { return Program; }
  bool IsFirstInstance(const std::string &) override { return First; }
  std::string PrepareWorkFolder() override { return WorkFolder; }
  bool IsCdRom() override { return false; }
  std::string WriteConfigFile(const std::string &workFolder) override;
  std::string WriteBrandFile(const std::string &workFolder) override;

  std::string Program;
  std::string WorkFolder;
  bool First = true;
  // Config.ini's text.
  std::string Config = "[INI]\r\ntitle=Fake Stack\r\nport=8080\r\nip=127.0.0.1\r\n";
};

// The fakes together, with an installation that has MySQL, and the options that use them.
class TFakeMachine
{
public:
  TFakeMachine();

  Corvala::TStackOptions Options();
  std::string MySqlExe() const;
  std::string ApacheExe() const;
  // Text of a file the start wrote into the work folder.
  std::string WorkFile(const std::string &name) const;
  // The value of Key in an ini file the start wrote into the work folder; empty without it.
  std::string WorkSetting(const std::string &file, const std::string &key) const;

  TestSupport::TScratchFolder Scratch;
  TFakeProcesses Processes;
  TFakeClock Clock;
  TFakePorts Ports;
  TFakeFiles Files;
  TFakeInstallation Installation{Scratch};
};

} // namespace StackFakes
