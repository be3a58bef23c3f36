#pragma once

#include <string>

// Reports an error that escaped a command mode: always as a line on standard error and, when a
// display can be reached, in a box captioned "Application Error" that waits for OK.
void ReportModeError(const std::string &message);
