#pragma once

#include <string>

// A tree built to run where Qt is not installed carries its Qt runtime in bin/qt: plugins, the
// engine's helper process, its resources and locales, and the keyboard layouts. When it is there,
// Qt is pointed at it (through the qt.conf held in the program) before the first Qt object exists;
// otherwise Qt uses the paths of the system it was built on.
void UseBundledQtRuntime(const std::string &appPath);

// The libraries a tree carries were built against the C library of Debian 12.
constexpr int MinimumGlibcMajor = 2;
constexpr int MinimumGlibcMinor = 36;

// Whether a C library version such as "2.36" is the given one or newer; a version that cannot be
// read counts as older.
bool IsGlibcAtLeast(const char *version, int major, int minor);
