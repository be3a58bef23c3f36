#pragma once

#include "packaging/BuildProgress.h"

#include <optional>
#include <string>

namespace Corvala
{

// A build's progress as plain lines for a log: one when the step changes and one each time the
// copy's whole percentage grows, none for reports in between.
class TProgressLines
{
public:
  // "<step>" before anything is counted, else "<step>: <n>% (<files done> of <total> files)".
  std::optional<std::string> Line(const TBuildProgress &progress);

private:
  std::optional<std::string> step;
  int percent = -1;
};

} // namespace Corvala
