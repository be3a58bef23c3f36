#pragma once

#include "resources/ResourceStore.h"

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

// Helpers for the command-mode tests: a temporary folder holding copies of the real program and of
// a target, the program run as a real process, and icon files built byte by byte.
namespace Modes
{

// A fresh folder whose name holds a blank, with "corvala" (a copy of the built program) and
// "target" (a copy of the opened-target program carrying the shipped resources).
class TFolder
{
public:
  TFolder();
  ~TFolder();
  TFolder(const TFolder &) = delete;
  TFolder &operator=(const TFolder &) = delete;

  std::string Path(const std::string &name) const { return root_ + "/" + name; }
  std::string Program() const { return Path("corvala"); }
  std::string Target() const { return Path("target"); }
  // The marker the target writes when it runs.
  std::string OpenedMarker() const { return Target() + ".opened"; }
  std::string Write(const std::string &name, const std::string &bytes) const;

private:
  std::string root_;
};

struct TRun {
  int exitCode = -1;  // -1 when the process did not exit normally
  int signal = 0;     // the signal that ended it, 0 when it exited
  std::string output; // standard output and standard error together
};

// Runs the program with the arguments, without a display, and waits until it has ended and every
// process that inherited its output (a program it started) has closed that output.
TRun RunProgram(const std::string &program, const std::vector<std::string> &arguments,
                const std::map<std::string, std::string> &environment = {});

// Starts the program the same way and gives its id, without waiting.
pid_t Start(const std::string &program, const std::vector<std::string> &arguments,
            const std::map<std::string, std::string> &environment = {});

// Waits for the end of a process from Start; gives the same result as RunProgram (output not collected).
TRun Wait(pid_t pid);

// Standard output of a shell command.
std::string Shell(const std::string &command);

std::string ReadFile(const std::string &path);
void CopyFile(const std::string &from, const std::string &to);
Resources::TResourceList ResourcesOf(const std::string &file);
// The data of a resource in exactly that language; "<missing>" when there is none.
std::string ResourceData(const std::string &file, uint16_t type, const Resources::TResName &name,
                         uint16_t language);
// Languages of every resource of that type, whatever its name.
std::vector<uint16_t> LanguagesOfType(const std::string &file, uint16_t type);

// An icon file with one image per given size; image i is filled with the byte 'a' + i and laid
// out after the directory in order.
std::string IconFile(const std::vector<uint32_t> &imageSizes);
// Sets the image offset of directory entry i.
void SetImageOffset(std::string &icon, size_t index, uint32_t offset);

} // namespace Modes
