#pragma once

// An X window seen from outside, through xwininfo: where it is on the display, whether it shows,
// and the one wait that needs it, for an icon the tray has finished placing.

#include "support/TestSupport.h"
#include "support/WaitUntil.h"

#include <optional>
#include <sstream>
#include <string>

namespace TestSupport
{

struct TXWindowPlace {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  // The window and all its parents are mapped.
  bool viewable = false;
  // Its parent is another window, not the root: a tray icon the tray has embedded, or a window the
  // window manager has framed.
  bool embedded = false;
  std::string parent;

  bool operator==(const TXWindowPlace &) const = default;
};

// The window's place (Window: its id in any form xwininfo takes); none when it does not exist.
inline std::optional<TXWindowPlace> XWindowPlace(const std::string &window)
{
  const RunResult info = RunCommand("xwininfo -tree -stats -id " + ShellQuoted(window));
  if (info.ExitCode != 0)
    return std::nullopt;
  TXWindowPlace place;
  std::string root;
  std::istringstream lines(info.Output);
  for (std::string line; std::getline(lines, line);) {
    const auto valueOf = [&line](const std::string &label) -> std::optional<std::string> {
      const size_t at = line.find(label);
      return at == std::string::npos ? std::nullopt : std::optional(line.substr(at + label.size()));
    };
    if (const auto value = valueOf("Root window id: "))
      root = value->substr(0, value->find(' '));
    else if (const auto value = valueOf("Parent window id: "))
      place.parent = value->substr(0, value->find(' '));
    else if (const auto value = valueOf("Absolute upper-left X: "))
      place.x = std::stoi(*value);
    else if (const auto value = valueOf("Absolute upper-left Y: "))
      place.y = std::stoi(*value);
    else if (const auto value = valueOf("Width: "))
      place.width = std::stoi(*value);
    else if (const auto value = valueOf("Height: "))
      place.height = std::stoi(*value);
    else if (valueOf("Map State: IsViewable"))
      place.viewable = true;
  }
  place.embedded = !place.parent.empty() && place.parent != root;
  return place;
}

// The place of the window's outermost ancestor below the root: the window manager's frame around
// a top-level window once it has framed it, else the window itself.
inline std::optional<TXWindowPlace> XOutermostPlace(const std::string &window)
{
  std::optional<TXWindowPlace> place = XWindowPlace(window);
  while (place && place->embedded)
    place = XWindowPlace(place->parent);
  return place;
}

// Waits until the tray shows the icon Window and has stopped moving it: a tray places a new icon
// after it has embedded it, and moves it again as it grows, so only then does a click at the icon's
// place reach it.
inline ::testing::AssertionResult
WaitForTrayIconToSettle(const std::string &window, const TBetweenChecks &betweenChecks = SleepBetweenChecks)
{
  std::optional<TXWindowPlace> before;
  return WaitUntil(
      [&] {
        const std::optional<TXWindowPlace> now = XWindowPlace(window);
        const bool settled = now && now->viewable && now->embedded && now == before;
        before = now;
        return settled;
      },
      60s, "the tray to show the icon " + window + " and stop moving it", betweenChecks);
}

} // namespace TestSupport
