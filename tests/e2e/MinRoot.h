#pragma once

#include <string>

// A minimal Debian 12 root (debootstrap's minbase plus the desktop base set of
// scripts/base-packages.txt) in which a tree must run with nothing of the build machine: made by
// scripts/minroot.sh, cached in the build folder. While a TMinRoot lives, /proc, /sys, /dev,
// /dev/shm and the display's X socket folder are bound into it. Entering it needs root.
namespace E2e
{

class TMinRoot
{
public:
  TMinRoot();
  ~TMinRoot();
  TMinRoot(const TMinRoot &) = delete;
  TMinRoot &operator=(const TMinRoot &) = delete;

  // Why the root cannot be used here (empty when it can).
  const std::string &Unusable() const { return unusable_; }
  const std::string &Path() const { return path_; }
  // The path inside the root of a host path below it.
  std::string Inside(const std::string &hostPath) const;
  // A fresh folder for installations inside the root (the host path), in its /opt.
  std::string InstallFolder() const { return path_ + "/opt"; }

  // Runs a shell command line inside the root with a desktop session's environment (the display,
  // HOME=/root, a plain PATH); gives its output, and its exit code in ExitCode.
  std::string Run(const std::string &commandLine, int *exitCode = nullptr) const;
  // Starts a program of the root as a user would, optionally with arguments (each a single word),
  // and waits for that first process to end; gives its exit code.
  int Start(const std::string &insideProgram, const std::string &arguments = "") const;

private:
  std::string path_;
  std::string unusable_;
  bool mounted_ = false;
};

} // namespace E2e
