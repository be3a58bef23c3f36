#include "app/CommandModes.h"

#include "app/SplashRole.h"
#include "utils/Paths.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace
{

// Mode words are compared after ASCII lower-casing; the other arguments are used as given.
std::string ModeWord(const char *argument)
{
  std::string word = argument;
  std::transform(word.begin(), word.end(), word.begin(), [](unsigned char c) {
    return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
  });
  return word;
}

} // namespace

int RunCommandLine(int argc, char **argv)
{
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::string mode = ModeWord(argv[1]);
  try {
    if (mode == "splash" && args.size() >= 2 && AppUtils::FileExists(args[1]))
      return RunSplashRole(args[1], argc, argv);
  } catch (const std::exception &error) {
    std::fprintf(stderr, "Application Error: %s\n", error.what());
    return 1;
  }
  return 0;
}
