#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

namespace Corvala
{

// Where a distribution build stands: its step and how much of the stack it has copied.
struct TBuildProgress {
  std::string Step;
  uint64_t FilesDone = 0;
  uint64_t FilesTotal = 0;
  uint64_t BytesDone = 0;
  uint64_t BytesTotal = 0;
};

// What a build tells and asks of its caller, on the thread that runs the build; each may be left
// unset.
struct TBuildHooks {
  // At each step and a few times a second while copying.
  std::function<void(const TBuildProgress &)> Progress{};
  // Asked between files and between the chunks of a large one; true ends the build with
  // TBuildCancelled.
  std::function<bool()> Cancelled{};
  // Runs the copy of the data folders while the database server holds still (its files closed and
  // consistent). Unset: the copy runs as it is.
  std::function<void(const std::function<void()> &copy)> HoldData{};
};

class TBuildCancelled : public std::runtime_error
{
public:
  TBuildCancelled() : std::runtime_error("The build was cancelled") {}
};

} // namespace Corvala
