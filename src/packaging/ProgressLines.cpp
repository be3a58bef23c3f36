#include "packaging/ProgressLines.h"

#include <algorithm>

namespace Corvala
{

namespace
{

// The bytes tell the copy's progress best; a tree of empty files has only its files to tell it.
int PercentOf(const TBuildProgress &progress)
{
  const auto percent = [](uint64_t done, uint64_t total) {
    return static_cast<int>(std::min<uint64_t>(done, total) * 100 / total);
  };
  if (progress.BytesTotal > 0)
    return percent(progress.BytesDone, progress.BytesTotal);
  if (progress.FilesTotal > 0)
    return percent(progress.FilesDone, progress.FilesTotal);
  return -1;
}

} // namespace

std::optional<std::string> TProgressLines::Line(const TBuildProgress &progress)
{
  const int now = PercentOf(progress);
  if (progress.Step == step && now == percent)
    return std::nullopt;
  step = progress.Step;
  percent = now;
  if (now < 0)
    return progress.Step;
  return progress.Step + ": " + std::to_string(now) + "% (" + std::to_string(progress.FilesDone) + " of " +
         std::to_string(std::max(progress.FilesTotal, progress.FilesDone)) + " files)";
}

} // namespace Corvala
