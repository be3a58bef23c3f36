#include "FakeStackSystem.h"

#include "stack/ServerCommandLines.h"

#include <algorithm>
#include <fcntl.h>
#include <filesystem>
#include <stdexcept>

namespace StackFakes
{

using Base::TProcessId;

TProcessId TFakeProcesses::Start(const std::string &program, const std::string &parameters,
                                 Process::TShowCommand, const Process::StartOptions &options)
{
  StartError.clear();
  if (Failing.count(program) != 0) {
    StartError = "No such file or directory";
    return 0;
  }
  TStartedProcess started;
  started.program = program;
  started.parameters = parameters;
  if (options.writeRules >= 0) {
    // A child restricts itself to rules that are open at its start, or never runs.
    const auto rules = Rules.find(options.writeRules);
    if (rules == Rules.end() || fcntl(options.writeRules, F_GETFD) < 0) {
      StartError = "its writes could not be confined with Landlock (Bad file descriptor)";
      return 0;
    }
    started.confined = true;
    started.writableFolders = rules->second;
  }
  NextId += 10;
  started.id = NextId;
  Started.push_back(started);
  Running.insert(NextId);
  if (OnStart)
    OnStart(Started.back());
  return NextId;
}

Base::TCardinalArray TFakeProcesses::FindByPath(const std::string &exePath)
{
  Base::TCardinalArray found;
  for (const TProcessId id : IdsOf(exePath))
    if (Running.count(id) != 0) {
      found.push_back(id);
      if (WithWorker.count(exePath) != 0)
        found.push_back(id + 1);
    }
  return found;
}

std::vector<bool> TFakeProcesses::StopStarted(const std::vector<Corvala::TServerProcess> &servers,
                                              std::chrono::milliseconds, const std::function<void()> &)
{
  std::vector<bool> stoppedOnRequest;
  for (const Corvala::TServerProcess &server : servers) {
    Stopped.push_back(server);
    stoppedOnRequest.push_back(Running.count(server.id) != 0);
    for (const TProcessId id : IdsOf(server.exePath))
      Running.erase(id);
    Running.erase(server.id);
  }
  return stoppedOnRequest;
}

void TFakeProcesses::StopByPath(const std::string &exePath, std::chrono::milliseconds,
                                const std::function<void()> &)
{
  LeftoversStopped.push_back(exePath);
}

void TFakeProcesses::EndChild(TProcessId id)
{
  EndedChildren.push_back(id);
  Running.erase(id);
}

Process::TWriteConfinement TFakeProcesses::ConfineWrites(const Base::TStringArray &folders)
{
  if (!Landlock)
    return Process::TWriteConfinement::Unavailable("this kernel has no Landlock");
  for (const std::string &folder : folders)
    if (!std::filesystem::is_directory(folder))
      throw std::runtime_error("Writes cannot be allowed beneath \"" + folder +
                               "\": No such file or directory");
  const int descriptor = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (descriptor < 0)
    throw std::runtime_error("/dev/null cannot be opened");
  Rules[descriptor] = folders;
  return Process::TWriteConfinement(descriptor);
}

std::vector<TProcessId> TFakeProcesses::IdsOf(const std::string &program) const
{
  std::vector<TProcessId> ids;
  for (const TStartedProcess &process : Started)
    if (process.program == program)
      ids.push_back(process.id);
  return ids;
}

int TFakePorts::FindFree(int first, bool)
{
  for (int port = std::max(first, 1); port <= 65535; ++port)
    if (Taken.count(port) == 0)
      return port;
  return -1;
}

bool TFakePorts::GreetsOnSocket(const std::string &path, std::chrono::milliseconds)
{
  ++Looks;
  return Greeting && SilentSockets.count(path) == 0;
}

Base::TStringArray TFakeFiles::FileNames(const std::string &folder)
{
  Base::TStringArray names;
  for (const std::string &file : Files)
    if (file.starts_with(folder + "/") && file.find('/', folder.size() + 1) == std::string::npos)
      names.push_back(file.substr(folder.size() + 1));
  return names;
}

bool TFakeFiles::Delete(std::set<std::string> &paths, const std::string &path)
{
  ++Attempts[path];
  if (Refusals[path] > 0) {
    --Refusals[path];
    return false;
  }
  return paths.erase(path) != 0;
}

TFakeInstallation::TFakeInstallation(const TestSupport::TScratchFolder &scratch)
    : Program(scratch.File("app/corvala")), WorkFolder(scratch.File("work"))
{
  std::filesystem::create_directories(scratch.File("app/bin"));
  std::filesystem::create_directories(scratch.File("app/data"));
  // There before the start, so a test can put what a server will have said into it.
  std::filesystem::create_directories(WorkFolder);
}

std::string TFakeInstallation::WriteConfigFile(const std::string &workFolder)
{
  TestSupport::WriteBytes(workFolder + "/Config.ini", Config);
  return workFolder + "/Config.ini";
}

std::string TFakeInstallation::WriteBrandFile(const std::string &workFolder)
{
  TestSupport::WriteBytes(workFolder + "/Brand.ini", "");
  return workFolder + "/Brand.ini";
}

TFakeMachine::TFakeMachine()
{
  Files.Files.insert(MySqlExe());
  Files.Folders.insert(Installation.WorkFolder);
  Files.Folders.insert(Scratch.File("app/data"));
  Processes.WithWorker.insert(ApacheExe());
}

Corvala::TStackOptions TFakeMachine::Options()
{
  Corvala::TStackOptions options;
  options.SetEnvironment = false;
  options.System = {&Processes, &Ports, &Clock, &Files, &Installation};
  return options;
}

std::string TFakeMachine::MySqlExe() const
{
  return Corvala::MySqlExePath(Scratch.File("app/bin"));
}

std::string TFakeMachine::ApacheExe() const
{
  return Corvala::ApacheExePath(Scratch.File("app/bin"));
}

std::string TFakeMachine::WorkFile(const std::string &name) const
{
  return TestSupport::ReadBytes(Installation.WorkFolder + "/" + name);
}

std::string TFakeMachine::WorkSetting(const std::string &file, const std::string &key) const
{
  const std::string text = "\n" + WorkFile(file);
  const size_t at = text.find("\n" + key + "=");
  if (at == std::string::npos)
    return "";
  const size_t value = at + key.size() + 2;
  return text.substr(value, text.find_first_of("\r\n", value) - value);
}

} // namespace StackFakes
