#include "app/LauncherRole.h"

#include "config/ConfigFile.h"
#include "maintenance/MaintenanceCommands.h"
#include "packaging/RebrandCommand.h"
#include "shell/ErrorReport.h"
#include "shell/MainForm.h"
#include "stack/ServerStack.h"
#include "utils/ExeResources.h"
#include "utils/Paths.h"
#include "utils/Process.h"
#include "utils/ProcessList.h"

#include <QPixmap>
#include <QThread>
#include <cstdlib>
#include <exception>
#include <unistd.h>

using namespace AppUtils;
using Corvala::IsFlagOn;
using Corvala::TServerStack;

namespace
{

constexpr int ExternalBrowserFirstPauseMs = 5000;
constexpr int ExternalBrowserPollMs = 330;
constexpr int ShowMaximized = 3;

// What Qt WebEngine needs here: measured under Xvfb, without a GPU, and as root in CI.
void PrepareWebEngineEnvironment()
{
  if (geteuid() == 0)
    setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-dev-shm-usage", 0);
  setenv("QT_QUICK_BACKEND", "software", 0);
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QIcon MainIcon()
{
  const auto icon = ReadIconResource(GetProgramPath(), TResName("MAINICON"));
  QPixmap pixmap;
  if (!icon || !pixmap.loadFromData(reinterpret_cast<const uchar *>(icon->data()),
                                    static_cast<uint>(icon->size()), "ICO"))
    return {};
  return QIcon(pixmap);
}

void Pause(int milliseconds)
{
  QCoreApplication::processEvents();
  QThread::msleep(static_cast<unsigned long>(milliseconds));
}

// The external browser is the launcher's front end: the stack runs until that browser has no
// process left.
void RunExternalBrowser(TServerStack &stack)
{
  KillProcess(stack.SplashProcessId);
  stack.SplashProcessId = 0;
  StartProcess(stack.BrowserPath, stack.BrowserParameters, ShowMaximized, "");
  Pause(ExternalBrowserFirstPauseMs);
  const std::string browser = ExpandFromAppDir(stack.BrowserPath);
  while (!FindProcessesByPath(browser).empty())
    Pause(ExternalBrowserPollMs);
}

TStartupInfo StartupInfoOf(const TServerStack &stack)
{
  TStartupInfo info;
  info.appName = stack.AppName;
  info.apachePort = stack.ApachePort;
  info.brand = IsFlagOn(stack.ReadConfigValue("brand"));
  info.showTrayIcon = IsFlagOn(stack.ReadConfigValue("trayicon"));
  info.showToolbar = IsFlagOn(stack.ReadConfigValue("toolbar"));
  info.showStatusBar = IsFlagOn(stack.ReadConfigValue("statusbar"));
  info.fullScreen = IsFlagOn(stack.ReadConfigValue("fullscreen"));
  info.isCdRom = stack.IsCdRom;
  info.binFolder = stack.BinFolder;
  info.favoritesFile = GetAppPath() + "bin/Favorites.ini";
  info.splashProcessId = stack.SplashProcessId;
  return info;
}

} // namespace

int RunLauncher(int argc, char **argv)
{
  // The marker belongs to this instance alone; no child may inherit it.
  unsetenv(RelaunchMarkerVariable);
  PrepareWebEngineEnvironment();
  TCorvalaApplication application(argc, argv);
  QApplication::setApplicationName("Corvala");
  // Every window, pop-ups and boxes included, carries the program's icon.
  QApplication::setWindowIcon(MainIcon());
  QApplication::setQuitOnLastWindowClosed(false);

  TServerStack stack({.StartSplash = true, .ProcessEvents = [] { QCoreApplication::processEvents(); }});
  TfrmMain form(TStackHooks{[&stack] { stack.Stop(); }, [](TProcessId id) { KillProcess(id); }});
  QObject::connect(&form, &TfrmMain::settingsRequested, [&] { RunSettingsCommand(form, stack.WorkFolder); });
  QObject::connect(&form, &TfrmMain::downSizeRequested, [&form] { RunDownSizeCommand(form); });
  // With an external browser the window is never shown: the launcher ends when that browser does.
  bool externalBrowser = false;
  try {
    if (stack.Start() == TServerStack::TStartResult::AlreadyRunning)
      TerminateCurrentProcess();
    ConnectRebrand(form, stack.BrandFile);
    form.ApplyTitle(QString::fromStdString(stack.AppName), QApplication::windowIcon());
    externalBrowser = stack.UseExternalBrowser;
    if (externalBrowser)
      RunExternalBrowser(stack);
    else
      form.CompleteStartup(StartupInfoOf(stack));
  } catch (const std::exception &error) {
    ShowErrorReport(QString::fromStdString(error.what()));
  }
  int exitCode = 0;
  if (!externalBrowser) {
    form.show();
    exitCode = QApplication::exec();
  }
  stack.Stop();
  std::fflush(nullptr);
  // The servers are down and the work folder is gone; nothing else needs an orderly teardown.
  _exit(exitCode);
}
