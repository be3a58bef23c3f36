#pragma once

#include "base/Types.h"

#include <chrono>
#include <string>

// The resource commands: each changes the resources of another copy of the program (the target),
// once no process holds the target open. Each refuses, with a std::runtime_error that says how to
// do it, a target that is the running program's own file, which could never be free.

// Waits while the target is locked: each round processes pending events, pauses and clears the
// target's read-only attribute (a read-only file counts as locked). No time limit.
void WaitForTarget(const std::string &target, std::chrono::milliseconds pause);

// "/config": waits for the target, then embeds the file as RES_CONFIG_INI. A failed update is
// silent; a configuration file that cannot be read raises EFileError.
void RunConfigCommand(const std::string &target, const std::string &configFile);

// "/splash": as "/config", with the image file as RES_SPLASH.
void RunSplashCommand(const std::string &target, const std::string &imageFile);

// "/icon": waits for the target, then replaces its main icon (UpdateExeIcon's errors pass on).
void RunIconCommand(const std::string &target, const std::string &iconFile);

// "/setup" with the arguments after the mode word: target, then optionally the configuration,
// icon and image files and one more argument of any content. Waits for the target with pauses,
// runs "/config", "/icon" and "/splash" for the files that exist, each as a child process of this
// program, then starts the target unless that extra argument is given. Fails only on the running
// program's own file.
void RunSetupCommand(const Base::TStringArray &arguments);
