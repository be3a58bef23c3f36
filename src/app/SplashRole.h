#pragma once

#include <string>

// The splash-screen process: unless "showsplash" of section "INI" of ConfigFile is "0", shows the
// splash picture of the running executable (resource RES_SPLASH) and serves the window until the
// launcher ends the process. Returns at once, with 0, when the splash is switched off.
int RunSplashRole(const std::string &configFile, int argc, char **argv);
