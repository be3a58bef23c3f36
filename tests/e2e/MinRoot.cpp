#include "MinRoot.h"

#include "E2eSupport.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace E2e
{

namespace
{

const std::string MinRootScript = CORVALA_SOURCE_DIR "/scripts/minroot.sh";

std::string RootFolder()
{
  const char *fromEnvironment = std::getenv("CORVALA_MINROOT");
  return fromEnvironment != nullptr && *fromEnvironment != '\0' ? fromEnvironment : CORVALA_MINROOT;
}

std::string SessionEnvironment()
{
  const char *display = std::getenv("DISPLAY");
  return "/usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DISPLAY=" +
         Quoted(display != nullptr ? display : "");
}

} // namespace

TMinRoot::TMinRoot() : path_(RootFolder())
{
  if (geteuid() != 0)
    unusable_ = "entering a root folder needs root";
  else if (!std::filesystem::exists(path_ + "/.corvala-minroot"))
    unusable_ = "no minimal root at " + path_ + " (scripts/minroot.sh makes it)";
  if (!unusable_.empty())
    return;
  Shell("bash " + Quoted(MinRootScript) + " --bind " + Quoted(path_));
  mounted_ = true;
}

TMinRoot::~TMinRoot()
{
  if (!mounted_)
    return;
  Shell("bash " + Quoted(MinRootScript) + " --unbind " + Quoted(path_));
}

std::string TMinRoot::Inside(const std::string &hostPath) const
{
  return hostPath.substr(path_.size());
}

std::string TMinRoot::Run(const std::string &commandLine, int *exitCode) const
{
  const std::string marker = "\nexit code ";
  std::string output = Shell("chroot " + Quoted(path_) + " " + SessionEnvironment() + " /bin/sh -c " +
                             Quoted(commandLine) + " 2>&1; echo \"" + marker.substr(1) + "$?\"");
  const size_t at = output.rfind(marker.substr(1));
  if (exitCode != nullptr)
    *exitCode = at == std::string::npos ? -1 : std::atoi(output.c_str() + at + marker.size() - 1);
  return at == std::string::npos ? output : output.substr(0, at);
}

int TMinRoot::Start(const std::string &insideProgram, const std::string &arguments) const
{
  int exitCode = -1;
  Run(Quoted(insideProgram) + (arguments.empty() ? "" : " " + arguments) + " >/dev/null 2>&1", &exitCode);
  return exitCode;
}

} // namespace E2e
