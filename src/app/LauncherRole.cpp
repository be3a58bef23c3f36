#include "app/LauncherRole.h"

#include "config/ConfigFile.h"
#include "maintenance/gui/MaintenanceCommands.h"
#include "packaging/gui/RebrandCommand.h"
#include "shell/ErrorReport.h"
#include "shell/EventPause.h"
#include "shell/ExitWatch.h"
#include "shell/MainForm.h"
#include "shell/WebEngineEnvironment.h"
#include "stack/ServerEnvironment.h"
#include "stack/ServerStack.h"
#include "utils/ExeResources.h"
#include "utils/ExitSignals.h"
#include "utils/Paths.h"
#include "utils/Process.h"
#include "utils/ProcessFamily.h"
#include "utils/StartupTrace.h"

#include <QPixmap>
#include <cstdlib>
#include <exception>
#include <optional>
#include <unistd.h>

using namespace AppUtils;
using Corvala::IsFlagOn;
using Corvala::TServerStack;

namespace
{

constexpr auto ExternalBrowserFirstPause = std::chrono::milliseconds(5000);
constexpr auto ExternalBrowserPoll = std::chrono::milliseconds(330);

QIcon MainIcon()
{
  const auto icon = ReadIconResource(GetProgramPath(), TResName("MAINICON"));
  QPixmap pixmap;
  if (!icon || !pixmap.loadFromData(reinterpret_cast<const uchar *>(icon->data()),
                                    static_cast<uint>(icon->size()), "ICO"))
    return {};
  return QIcon(pixmap);
}

// A request to end the program (a signal, the session's end, the program file gone) in any phase.
struct TExitRequest {
  bool requested = false;
};

// The external browser is the launcher's front end: the stack runs until that browser, with what
// it started, has no process left. Gives false when the browser handed the page to an instance
// that was already running and ended at once: then nothing of ours shows the site, and the stack
// runs until the user exits from the tray.
bool RunExternalBrowser(TServerStack &stack, const TExitRequest &exitRequest)
{
  stack.EndSplash();
  const TProcessId browser =
      StartProcess(stack.State().BrowserPath, stack.State().BrowserParameters, TShowCommand::Maximized, "");
  TProcessFamily family(browser, ExpandFromAppDir(stack.State().BrowserPath));
  const auto firstLook = std::chrono::steady_clock::now() + ExternalBrowserFirstPause;
  while (!exitRequest.requested && std::chrono::steady_clock::now() < firstLook)
    PauseWithEvents(ExternalBrowserPoll);
  if (exitRequest.requested)
    return true;
  if (!family.Alive())
    return false;
  while (!exitRequest.requested && family.Alive())
    PauseWithEvents(ExternalBrowserPoll);
  return true;
}

TStartupInfo StartupInfoOf(const TServerStack &servers)
{
  const Corvala::TStackState &stack = servers.State();
  TStartupInfo info;
  info.appName = stack.AppName;
  info.apachePort = stack.ApachePort;
  info.brand = IsFlagOn(servers.ReadConfigValue("brand"));
  info.showTrayIcon = IsFlagOn(servers.ReadConfigValue("trayicon"));
  info.showToolbar = IsFlagOn(servers.ReadConfigValue("toolbar"));
  info.showStatusBar = IsFlagOn(servers.ReadConfigValue("statusbar"));
  info.fullScreen = IsFlagOn(servers.ReadConfigValue("fullscreen"));
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
  const std::string program = GetProgramPath();
  // Before the first thread starts: setenv may not run while another thread reads the environment.
  Corvala::SetServerEnvironment(program);
  Corvala::PrepareWebEngineEnvironment();
  // Caught from before the first server starts, so that every phase ends with the full shutdown.
  TExitSignals exitSignals;
  TExitRequest exitRequest;
  TServerStack stack({.StartSplash = true,
                      .ProcessEvents = [] { QCoreApplication::processEvents(); },
                      .Wait = PauseWithEvents,
                      .SetEnvironment = false,
                      .StopRequested =
                          [&] {
                            if (exitSignals.Arrived())
                              exitRequest.requested = true;
                            return exitRequest.requested;
                          }});

  // The servers start first; the window and the browser engine come up while Apache starts its
  // worker. A failure of these steps is reported once the window exists, over it.
  std::exception_ptr startFailure;
  bool prepared = false;
  try {
    if (stack.Prepare() == TServerStack::TStartResult::AlreadyRunning)
      TerminateCurrentProcess();
    prepared = true;
    const TTraceStep step("servers started");
    stack.StartServers();
  } catch (...) {
    startFailure = std::current_exception();
  }

  auto applicationStep = std::make_optional<TTraceStep>("application");
  TCorvalaApplication application(argc, argv);
  QApplication::setApplicationName("Corvala");
  // Every window, pop-ups and boxes included, carries the program's icon.
  QApplication::setWindowIcon(MainIcon());
  QApplication::setQuitOnLastWindowClosed(false);
  applicationStep.reset();
  auto formStep = std::make_optional<TTraceStep>("main window and browser engine");
  TfrmMain form(TStackHooks{[&stack] { stack.Stop(); }, [&stack] { stack.EndSplash(); }});
  form.BeginWarmUp();
  formStep.reset();
  TExitWatch exitWatch(program, exitSignals);
  auto requestExit = [&exitRequest, &form] {
    exitRequest.requested = true;
    form.CloseApplication();
  };
  QObject::connect(&exitWatch, &TExitWatch::exitRequested, requestExit);
  QObject::connect(&application, &QGuiApplication::commitDataRequest, requestExit);
  QObject::connect(&form, &TfrmMain::settingsRequested,
                   [&] { RunSettingsCommand(form, stack.State().WorkFolder); });
  QObject::connect(&form, &TfrmMain::downSizeRequested, [&form] { RunDownSizeCommand(form); });
  // With an external browser the window is never shown: the launcher ends when that browser does.
  bool showWindow = true;
  bool runLoop = true;
  try {
    if (prepared) {
      const TTraceStep step("title and branding");
      QObject::connect(&form, &TfrmMain::rebrandRequested, &form,
                       [&form, brandFile = stack.State().BrandFile] { BuildDistribution(form, brandFile); });
      form.ApplyTitle(QString::fromStdString(stack.State().AppName), QApplication::windowIcon());
      form.ApplyBranding(StartupInfoOf(stack));
    }
    if (startFailure)
      std::rethrow_exception(startFailure);
    stack.WaitForApache();
    if (!stack.State().ApacheStartError.empty())
      ShowErrorReport(QString::fromStdString(stack.State().ApacheStartError));
    if (stack.State().UseExternalBrowser) {
      showWindow = false;
      runLoop = !RunExternalBrowser(stack, exitRequest);
      if (runLoop)
        form.KeepRunningInTray();
    } else {
      const TTraceStep step("favorites, pause, first navigation");
      form.CompleteStartup(StartupInfoOf(stack));
    }
  } catch (const TServerStack::TStartStopped &) {
  } catch (const std::exception &error) {
    if (!exitRequest.requested)
      ShowErrorReport(QString::fromStdString(error.what()));
  }
  form.EndWarmUp();
  // A request that arrived while nothing read events is seen here.
  QCoreApplication::processEvents();
  int exitCode = 0;
  if (runLoop && !exitRequest.requested) {
    if (showWindow) {
      const TTraceStep step("window shown");
      form.show();
    }
    exitCode = QApplication::exec();
  }
  form.BeginShutdown();
  stack.Stop();
  return exitCode;
}
