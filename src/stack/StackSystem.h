#pragma once

#include "base/Types.h"
#include "process/Process.h"
#include "process/WriteConfinement.h"
#include "stack/ServerStop.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace Corvala
{

// The processes the stack starts, watches and stops.
class TStackProcesses
{
public:
  virtual ~TStackProcesses() = default;
  // Gives 0 when the program could not be started; LastStartError() says why.
  virtual Base::TProcessId Start(const std::string &program, const std::string &parameters,
                                 Process::TShowCommand show, const Process::StartOptions &options) = 0;
  virtual std::string LastStartError() = 0;
  virtual bool Exists(Base::TProcessId id) = 0;
  // As Process::IsProcessStopped.
  virtual bool IsStopped(Base::TProcessId id) = 0;
  virtual Base::TCardinalArray FindByPath(const std::string &exePath) = 0;
  // As StopStartedServers.
  virtual std::vector<bool> StopStarted(const std::vector<TServerProcess> &servers,
                                        std::chrono::milliseconds grace,
                                        const std::function<void()> &processEvents) = 0;
  // As StopServerProcesses.
  virtual void StopByPath(const std::string &exePath, std::chrono::milliseconds grace,
                          const std::function<void()> &processEvents) = 0;
  // Ends a child of Start() and collects it.
  virtual void EndChild(Base::TProcessId id) = 0;
  // As TWriteConfinement::Beneath: the rules a process started with them writes under.
  virtual Process::TWriteConfinement ConfineWrites(const Base::TStringArray &folders) = 0;
};

// The TCP ports the servers listen on.
class TStackPorts
{
public:
  virtual ~TStackPorts() = default;
  // The first port from First up that nothing listens on, -1 when there is none.
  virtual int FindFree(int first, bool localOnly) = 0;
  virtual bool InUse(int port, bool localOnly) = 0;
  // The server that made the Unix socket at Path greets a client through it within Wait.
  virtual bool GreetsOnSocket(const std::string &path, std::chrono::milliseconds wait) = 0;
};

// The time the stack's waits are measured in.
class TStackClock
{
public:
  virtual ~TStackClock() = default;
  virtual std::chrono::steady_clock::time_point Now() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The files the clean-up deletes.
class TStackFiles
{
public:
  virtual ~TStackFiles() = default;
  virtual bool FolderExists(const std::string &path) = 0;
  virtual bool DeleteFolder(const std::string &path) = 0;
  virtual bool FileExists(const std::string &path) = 0;
  virtual bool DeleteFile(const std::string &path) = 0;
  virtual Base::TStringArray FileNames(const std::string &folder) = 0;
};

// The installation on this machine: its program, its single instance, its work folder and the
// settings files the start writes there.
class TStackInstallation
{
public:
  virtual ~TStackInstallation() = default;
  virtual std::string ProgramPath() = 0;
  virtual bool IsFirstInstance(const std::string &name) = 0;
  // Created, checked for room and shared with the servers' workers.
  virtual std::string PrepareWorkFolder() = 0;
  virtual bool IsCdRom() = 0;
  // Config.ini and Brand.ini written into the work folder; each gives the file's path.
  virtual std::string WriteConfigFile(const std::string &workFolder) = 0;
  virtual std::string WriteBrandFile(const std::string &workFolder) = 0;
};

// What the stack reaches the system through; tests put their own in place of some of them.
struct TStackSystem {
  TStackProcesses *Processes;
  TStackPorts *Ports;
  TStackClock *Clock;
  TStackFiles *Files;
  TStackInstallation *Installation;
};

// The machine itself.
TStackSystem RealStackSystem();

} // namespace Corvala
