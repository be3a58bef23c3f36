#include "packaging/ProgressLines.h"

#include <gtest/gtest.h>
#include <vector>

using namespace Corvala;

// A log gets the steps and each new whole percentage of the copy, never the reports in between.
TEST(ProgressLines, OneLinePerStepAndPerPercentage)
{
  TProgressLines lines;
  std::vector<std::string> log;
  // Nothing done yet stands for a step before the count.
  const auto report = [&](const char *step, uint64_t files, uint64_t bytes) {
    const bool counted = files != 0 || bytes != 0;
    const TBuildProgress progress{.Step = step,
                                  .FilesDone = files,
                                  .FilesTotal = counted ? 40U : 0U,
                                  .BytesDone = bytes,
                                  .BytesTotal = counted ? 1000U : 0U};
    if (const auto line = lines.Line(progress))
      log.push_back(*line);
  };
  report("Writing runme", 0, 0);
  report("Writing runme", 0, 0);
  report("Copying the programs (bin)", 1, 10);
  report("Copying the programs (bin)", 2, 15);
  report("Copying the programs (bin)", 9, 20);
  report("Copying the website (www)", 9, 20);
  report("Copying the website (www)", 40, 1000);
  EXPECT_EQ(log, (std::vector<std::string>{"Writing runme", "Copying the programs (bin): 1% (1 of 40 files)",
                                           "Copying the programs (bin): 2% (9 of 40 files)",
                                           "Copying the website (www): 2% (9 of 40 files)",
                                           "Copying the website (www): 100% (40 of 40 files)"}));

  // Empty files only: the files tell the percentage; the databases may grow past their count.
  TProgressLines empty;
  EXPECT_EQ(empty.Line({.Step = "Copying", .FilesDone = 1, .FilesTotal = 4}), "Copying: 25% (1 of 4 files)");
  EXPECT_EQ(empty.Line({.Step = "Copying", .FilesDone = 5, .FilesTotal = 4, .BytesDone = 9, .BytesTotal = 8}),
            "Copying: 100% (5 of 5 files)");
}
