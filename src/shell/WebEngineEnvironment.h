#pragma once

#include <QCoreApplication>
#include <cstdlib>
#include <unistd.h>

namespace Corvala
{

// What Qt WebEngine needs here, set before the application object exists: software rendering
// without a GPU (measured under Xvfb), and Chromium's sandbox off as root, which it refuses to run
// as otherwise. A value the user gave stays. Inline, so that the bare browser the launcher is
// measured against runs with the same settings without linking the shell.
inline void PrepareWebEngineEnvironment()
{
  const auto setUnlessGiven = [](const char *name, const char *value) {
    const char *given = std::getenv(name);
    if (!given || !*given)
      setenv(name, value, 1);
  };
  if (geteuid() == 0)
    setUnlessGiven("QTWEBENGINE_DISABLE_SANDBOX", "1");
  setUnlessGiven("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-dev-shm-usage");
  setUnlessGiven("QT_QUICK_BACKEND", "software");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace Corvala
