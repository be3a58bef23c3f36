#include "XDriver.h"

#include "E2eSupport.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

namespace E2e
{

namespace
{

constexpr int LargestIconSide = 64;

std::vector<std::string> Lines(const std::string &text)
{
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    if (!line.empty())
      lines.push_back(line);
  return lines;
}

bool Succeeds(const std::string &command)
{
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

struct TSize {
  int width = 0;
  int height = 0;
};

TSize SizeOf(const std::string &window)
{
  TSize size;
  for (const std::string &line :
       Lines(Shell("xdotool getwindowgeometry --shell " + window + " 2>/dev/null"))) {
    if (line.rfind("WIDTH=", 0) == 0)
      size.width = std::atoi(line.c_str() + 6);
    if (line.rfind("HEIGHT=", 0) == 0)
      size.height = std::atoi(line.c_str() + 7);
  }
  return size;
}

bool IsIconSized(const std::string &window)
{
  const TSize size = SizeOf(window);
  return size.width > 0 && size.height > 0 && size.width <= LargestIconSide && size.height <= LargestIconSide;
}

// Larger than the icon every way, so neither the icon nor a tool tip passes for a menu.
bool IsMenuSized(const std::string &window)
{
  const TSize size = SizeOf(window);
  return size.width > LargestIconSide && size.height > LargestIconSide;
}

// Windows the window manager does not manage: Qt's pop-ups, and the icon the tray embeds.
bool IsOverrideRedirect(const std::string &window)
{
  return Shell("xwininfo -id " + window + " 2>/dev/null").find("Override Redirect State: yes") !=
         std::string::npos;
}

// Key names travel unquoted, so that several keys stay several arguments: only plain names pass.
bool IsPlain(const std::string &text)
{
  for (const char c : text)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '_' || c == ' '))
      return false;
  return true;
}

} // namespace

std::vector<std::string> VisibleWindowsOf(pid_t pid)
{
  return Lines(Shell("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null"));
}

std::string TrayIconWindowOf(pid_t pid)
{
  for (const std::string &window : VisibleWindowsOf(pid))
    if (IsIconSized(window))
      return window;
  return {};
}

std::string PopupMenuOf(pid_t pid)
{
  for (const std::string &window : VisibleWindowsOf(pid))
    if (IsOverrideRedirect(window) && IsMenuSized(window))
      return window;
  return {};
}

std::string VisibleWindowNamed(const std::string &pattern)
{
  const auto windows =
      Lines(Shell("xdotool search --onlyvisible --name " + Quoted(pattern) + " 2>/dev/null"));
  return windows.empty() ? std::string() : windows.front();
}

bool ClickIn(const std::string &window, int x, int y, int button)
{
  return Succeeds("xdotool mousemove --window " + window + " " + std::to_string(x) + " " + std::to_string(y) +
                  " click " + std::to_string(button));
}

bool PressKeys(const std::string &keys)
{
  return IsPlain(keys) && Succeeds("xdotool key --delay 50 " + keys);
}

bool TypeText(const std::string &text)
{
  return Succeeds("xdotool type --delay 50 " + Quoted(text));
}

bool ActivateWindow(const std::string &window)
{
  // Without a window manager there is nobody to ask; the focus is then set directly.
  return Succeeds("xdotool windowactivate --sync " + window) ||
         Succeeds("xdotool windowfocus --sync " + window);
}

} // namespace E2e
