#pragma once

#include <chrono>

// Lets Duration pass while the event loop runs: the window stays responsive, and the browser
// engine, which lives on this thread, goes on with its own start meanwhile. Returns early when the
// application is asked to exit. Without an application it just sleeps.
void PauseWithEvents(std::chrono::milliseconds duration);
