#pragma once

#include <QCoreApplication>
#include <cstdlib>
#include <sys/statvfs.h>
#include <unistd.h>

namespace Corvala
{

// Room the engine's shared memory needs in /dev/shm before it is used (a container's 64 MB is too
// small for a page with images).
inline constexpr unsigned long long MinSharedMemoryRoom = 512ull << 20;

// Whether /dev/shm can hold the engine's shared memory. Without it the engine puts that memory in
// the temporary folder, where the work folder also lives: a full disk there would blank every page.
inline bool SharedMemoryFolderUsable()
{
  struct statvfs room {
  };
  return access("/dev/shm", W_OK | X_OK) == 0 && statvfs("/dev/shm", &room) == 0 &&
         static_cast<unsigned long long>(room.f_bavail) * room.f_frsize >= MinSharedMemoryRoom;
}

// What Qt WebEngine needs here, set before the application object exists: software rendering
// without a GPU (measured under Xvfb), shared memory in /dev/shm when it has room, and Chromium's sandbox off
// as root, which it refuses to run as otherwise. A value the user gave stays. Inline, so that the bare
// browser the launcher is measured against runs with the same settings without linking the shell.
inline void PrepareWebEngineEnvironment()
{
  const auto setUnlessGiven = [](const char *name, const char *value) {
    const char *given = std::getenv(name);
    if (!given || !*given)
      setenv(name, value, 1);
  };
  if (geteuid() == 0)
    setUnlessGiven("QTWEBENGINE_DISABLE_SANDBOX", "1");
  setUnlessGiven("QTWEBENGINE_CHROMIUM_FLAGS",
                 SharedMemoryFolderUsable() ? "--disable-gpu" : "--disable-gpu --disable-dev-shm-usage");
  setUnlessGiven("QT_QUICK_BACKEND", "software");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

} // namespace Corvala
