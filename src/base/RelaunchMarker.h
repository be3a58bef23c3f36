#pragma once

namespace Base
{

// The environment variable that marks the launcher instance the program started for itself (the
// process library sets it, the start-up trace reads it to measure from the first process).
inline constexpr char RelaunchMarkerVariable[] = "CORVALA_SHOW";

} // namespace Base
