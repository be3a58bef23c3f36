#pragma once

#include <string>

// A command mode reports the error that ends it as one line on standard error, so the process that
// started it can show that error itself.
namespace Process
{

inline constexpr char CommandErrorCaption[] = "Application Error";

// "Application Error: <message>", without a line end.
std::string CommandErrorLine(const std::string &message);

// The message of the last such line in a command's standard error; empty when there is none.
std::string CommandErrorMessage(const std::string &errorOutput);

} // namespace Process
