#include "packaging/BuildSummary.h"

#include "files/Paths.h"

#include <utility>

namespace Corvala
{

std::string DistributionReadyText(const std::string &output)
{
  return "The distribution is ready in \"" + output + "\".";
}

std::string DistributionContentsText(const std::string &output, const TBrandSettings &settings)
{
  std::string text = "  runme         the branded launcher: \"" + settings.Title + "\", on port " +
                     std::to_string(settings.Port) + "\n";
  const std::pair<const char *, const char *> parts[] = {
      {"autorun.inf", "the disc's start entry"},
      {"bin", "the servers and PHP"},
      {"licenses", "the copyright files"},
      {"www", "the website"},
      {"data", "the databases"},
  };
  for (const auto &[name, what] : parts)
    if (Files::FileExists(output + "/" + name) || Files::DirectoryExists(output + "/" + name))
      text += "  " + (std::string(name) + "             ").substr(0, 14) + what + "\n";
  return text;
}

} // namespace Corvala
