#pragma once

// Screenshots the tests leave for a person to look at: the whole display, saved once its picture
// has stopped changing, so that it shows what was drawn rather than a frame half drawn.

#include "support/TestSupport.h"
#include "support/WaitUntil.h"

#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

namespace TestSupport
{

// The display's picture as PNG (ImageMagick's import, stripped of the time stamps, so that equal
// pictures give equal bytes); empty when none could be taken.
inline std::string CaptureScreen()
{
  const RunResult capture = RunCommand("(import -silent -window root -strip png:- 2>/dev/null)");
  return capture.ExitCode == 0 ? capture.Output : std::string();
}

// Saves the display's picture as File (its folder made) once two pictures taken in a row, with
// BetweenChecks run between them, are the same (the first is compared with none). A display that keeps
// changing is saved as it last was; a screenshot never fails a test. A GUI test passes its event loop as
// BetweenChecks, so that its own windows draw meanwhile.
inline void SaveScreenshot(const std::filesystem::path &file,
                           const TBetweenChecks &betweenChecks = SleepBetweenChecks)
{
  std::string previous;
  std::string current;
  const bool still = WaitUntil(
      [&] {
        current = CaptureScreen();
        const bool same = !current.empty() && current == previous;
        previous = current;
        return same;
      },
      10s, "a still display", betweenChecks);
  if (!still)
    std::cerr << "screenshot " << file << ": the display kept changing\n";
  // Another user's run may have left the file, which this one cannot replace (the folder is shared
  // and sticky); the picture is only for a person to look at.
  std::error_code error;
  std::filesystem::create_directories(file.parent_path(), error);
  try {
    WriteBytes(file, current);
  } catch (const std::runtime_error &failure) {
    std::cerr << "screenshot " << file << " not saved: " << failure.what() << "\n";
  }
}

} // namespace TestSupport
