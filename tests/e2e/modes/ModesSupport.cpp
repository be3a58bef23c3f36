#include "ModesSupport.h"

#include "resources/ExeResources.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace Modes
{

namespace
{

void PutLE(std::string &bytes, size_t at, uint32_t value, size_t width)
{
  for (size_t i = 0; i < width; ++i)
    bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

// Starts the program with its output going to `output` (closed in the parent by the caller).
pid_t Spawn(const std::string &program, const std::vector<std::string> &arguments,
            const std::map<std::string, std::string> &environment, int output)
{
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  const pid_t pid = fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0) {
    // No display: an error of a mode goes to standard error instead of a box that waits for OK.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const auto &[name, value] : environment)
      setenv(name.c_str(), value.c_str(), 1);
    const int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    if (output >= 0) {
      dup2(output, STDOUT_FILENO);
      dup2(output, STDERR_FILENO);
    }
    std::vector<char *> argv;
    for (std::string &word : words)
      argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

} // namespace

TFolder::TFolder()
{
  std::string pattern = (std::filesystem::temp_directory_path() / "corvala modes XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr)
    throw std::runtime_error("cannot create a temporary folder");
  root_ = pattern;
  CopyFile(CORVALA_PROGRAM, Program());
  CopyFile(CORVALA_MODES_TARGET, Target());
}

TFolder::~TFolder()
{
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::string TFolder::Write(const std::string &name, const std::string &bytes) const
{
  std::ofstream(Path(name), std::ios::binary) << bytes;
  return Path(name);
}

TRun RunProgram(const std::string &program, const std::vector<std::string> &arguments,
                const std::map<std::string, std::string> &environment)
{
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  const pid_t pid = Spawn(program, arguments, environment, fds[1]);
  close(fds[1]);
  std::string output;
  char chunk[4096];
  for (;;) {
    const ssize_t n = read(fds[0], chunk, sizeof chunk);
    if (n > 0)
      output.append(chunk, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
      break;
  }
  close(fds[0]);
  TRun run = Wait(pid);
  run.output = output;
  return run;
}

pid_t Start(const std::string &program, const std::vector<std::string> &arguments,
            const std::map<std::string, std::string> &environment)
{
  return Spawn(program, arguments, environment, -1);
}

TRun Wait(pid_t pid)
{
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR)
      throw std::runtime_error("waitpid failed");
  TRun run;
  if (WIFEXITED(status))
    run.exitCode = WEXITSTATUS(status);
  else if (WIFSIGNALED(status))
    run.signal = WTERMSIG(status);
  return run;
}

std::string Shell(const std::string &command)
{
  std::string output;
  FILE *pipe = popen(command.c_str(), "r");
  if (pipe == nullptr)
    return output;
  char chunk[4096];
  size_t n = 0;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0)
    output.append(chunk, n);
  pclose(pipe);
  return output;
}

std::string ReadFile(const std::string &path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void CopyFile(const std::string &from, const std::string &to)
{
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

Resources::TResourceList ResourcesOf(const std::string &file)
{
  return Resources::ReadResourceStore(file).Resources;
}

std::string ResourceData(const std::string &file, uint16_t type, const Resources::TResName &name,
                         uint16_t language)
{
  for (const Resources::TResource &r : ResourcesOf(file))
    if (r.Type == type && r.Name == name && r.Language == language)
      return r.Data;
  return "<missing>";
}

std::vector<uint16_t> LanguagesOfType(const std::string &file, uint16_t type)
{
  std::vector<uint16_t> languages;
  for (const Resources::TResource &r : ResourcesOf(file))
    if (r.Type == type)
      languages.push_back(r.Language);
  return languages;
}

std::string IconFile(const std::vector<uint32_t> &imageSizes)
{
  const size_t count = imageSizes.size();
  std::string icon(6 + 16 * count, '\0');
  PutLE(icon, 2, 1, 2);
  PutLE(icon, 4, static_cast<uint32_t>(count), 2);
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * i;
    icon[entry] = static_cast<char>(16 * (i + 1));
    icon[entry + 1] = static_cast<char>(16 * (i + 1));
    PutLE(icon, entry + 4, 1, 2);
    PutLE(icon, entry + 6, 32, 2);
    PutLE(icon, entry + 8, imageSizes[i], 4);
    PutLE(icon, entry + 12, static_cast<uint32_t>(icon.size()), 4);
    icon.append(imageSizes[i], static_cast<char>('a' + i));
  }
  return icon;
}

void SetImageOffset(std::string &icon, size_t index, uint32_t offset)
{
  PutLE(icon, 6 + 16 * index + 12, offset, 4);
}

} // namespace Modes
