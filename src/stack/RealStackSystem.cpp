#include "stack/StackSystem.h"

#include "config/BrandDefaults.h"
#include "config/ConfigFile.h"
#include "files/FileTree.h"
#include "files/Paths.h"
#include "process/ProcessList.h"
#include "stack/PrivateFiles.h"
#include "stack/host/CdRom.h"
#include "stack/host/Ports.h"
#include "stack/host/SingleInstance.h"
#include "stack/host/WorkFolder.h"

#include <thread>
#include <unistd.h>

using namespace Base;
using namespace Files;
using namespace Process;
using namespace Host;

namespace Corvala
{

namespace
{
class TRealProcesses final : public TStackProcesses
{
public:
  TProcessId Start(const std::string &program, const std::string &parameters, TShowCommand show,
                   const StartOptions &options) override
  {
    return StartProcess(program, parameters, show, "", options);
  }
  std::string LastStartError() override { return Process::LastStartError(); }
  bool Exists(TProcessId id) override { return ProcessExists(id); }
  TCardinalArray FindByPath(const std::string &exePath) override { return FindProcessesByPath(exePath); }
  std::vector<bool> StopStarted(const std::vector<TServerProcess> &servers, std::chrono::milliseconds grace,
                                const std::function<void()> &processEvents) override
  {
    return StopStartedServers(servers, grace, processEvents);
  }
  void StopByPath(const std::string &exePath, std::chrono::milliseconds grace,
                  const std::function<void()> &processEvents) override
  {
    StopServerProcesses(exePath, grace, processEvents);
  }
  void EndChild(TProcessId id) override { EndStartedChild(id); }
  bool IsStopped(TProcessId id) override { return IsProcessStopped(id); }
  TWriteConfinement ConfineWrites(const TStringArray &folders) override
  {
    return TWriteConfinement::Beneath(folders);
  }
};

class TRealPorts final : public TStackPorts
{
public:
  int FindFree(int first, bool localOnly) override { return FindFreePort(first, localOnly); }
  bool InUse(int port, bool localOnly) override { return IsPortInUse(port, localOnly); }
  bool GreetsOnSocket(const std::string &path, std::chrono::milliseconds wait) override
  {
    return ServerGreetsOnSocket(path, wait);
  }
};

class TRealClock final : public TStackClock
{
public:
  std::chrono::steady_clock::time_point Now() override { return std::chrono::steady_clock::now(); }
  void Sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

class TRealFiles final : public TStackFiles
{
public:
  bool FolderExists(const std::string &path) override { return DirectoryExists(path); }
  bool DeleteFolder(const std::string &path) override { return Files::DeleteFolder(path); }
  bool FileExists(const std::string &path) override { return Files::FileExists(path); }
  bool DeleteFile(const std::string &path) override { return DeleteFileSilently(path); }
  TStringArray FileNames(const std::string &folder) override { return ListFileNames(folder); }
};

class TRealInstallation final : public TStackInstallation
{
public:
  std::string ProgramPath() override { return GetProgramPath(); }
  bool IsFirstInstance(const std::string &name) override { return Host::IsFirstInstance(name); }
  std::string PrepareWorkFolder() override
  {
    std::string folder = GetTempWorkFolder();
    CheckWorkFolderWritable(folder);
    ShareWorkFolderWithWorkers(folder, geteuid() == 0);
    return folder;
  }
  bool IsCdRom() override { return IsCdRomDrive(); }
  std::string WriteConfigFile(const std::string &workFolder) override
  {
    return PrepareConfigFile(workFolder);
  }
  std::string WriteBrandFile(const std::string &workFolder) override
  {
    return WriteBrandDefaults(workFolder);
  }
};
} // namespace

TStackSystem RealStackSystem()
{
  static TRealProcesses processes;
  static TRealPorts ports;
  static TRealClock clock;
  static TRealFiles files;
  static TRealInstallation installation;
  return {&processes, &ports, &clock, &files, &installation};
}

} // namespace Corvala
