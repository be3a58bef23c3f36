#include "app/LauncherRole.h"

#include "app/CorvalaApplication.h"
#include "app/ExitWatch.h"
#include "app/ModeErrorReport.h"
#include "base/StartupTrace.h"
#include "browser/BrowserProfile.h"
#include "browser/SiteKeyCookie.h"
#include "browser/WebBrowser.h"
#include "browser/WebEngineEnvironment.h"
#include "config/BrowserIni.h"
#include "config/ConfigFile.h"
#include "digest/Md5.h"
#include "files/Paths.h"
#include "maintenance/gui/MaintenanceCommands.h"
#include "packaging/gui/DesktopEntryCommand.h"
#include "packaging/gui/RebrandCommand.h"
#include "process/ExitSignals.h"
#include "process/Process.h"
#include "process/ProcessFamily.h"
#include "resources/ExeResources.h"
#include "shell/EventPause.h"
#include "shell/MainForm.h"
#include "stack/PrivateMode.h"
#include "stack/ServerEnvironment.h"
#include "stack/ServerStack.h"
#include "stack/StackLogs.h"
#include "stack/StackTerminal.h"
#include "stack/host/SingleInstance.h"
#include "widgets/ErrorReport.h"
#include "widgets/MessageBox.h"

#include <QMenu>
#include <QPixmap>
#include <QTimer>
#include <QWebEnginePage>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <stdexcept>
#include <unistd.h>
#include <vector>

using namespace Base;
using namespace Files;
using namespace Process;
using namespace Resources;
using namespace Digest;
using namespace Host;
using namespace Widgets;
using Corvala::IsFlagOn;
using Corvala::TServerStack;

namespace
{

constexpr auto ExternalBrowserFirstPause = std::chrono::milliseconds(5000);
constexpr auto ExternalBrowserPoll = std::chrono::milliseconds(330);
// How often the launcher looks whether its servers still run.
constexpr auto ServerWatchInterval = std::chrono::milliseconds(2000);
// How often the window looks for a later start's request to come forward.
constexpr auto ShowRequestInterval = std::chrono::milliseconds(300);

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
  if (browser == 0)
    throw std::runtime_error("The browser \"" + stack.State().BrowserPath + "\" named in " +
                             stack.State().BrowserIniPath + " could not be started: " + LastStartError());
  TProcessFamily family(browser, ExpandFromAppDir(stack.State().BrowserPath));
  // A browser that hands the page to one already running ends within the first pause; once it
  // has, there is nothing left to wait for.
  const auto firstLook = std::chrono::steady_clock::now() + ExternalBrowserFirstPause;
  while (!exitRequest.requested && family.Alive() && std::chrono::steady_clock::now() < firstLook)
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
  // A distribution's customer gets no developer tools unless its maker keeps them on.
  const std::string developerTools = servers.ReadConfigValue("devtools");
  info.developerTools = developerTools.empty() ? !info.brand : IsFlagOn(developerTools);
  info.binFolder = stack.BinFolder;
  info.favoritesFile = GetAppPath() + "bin/Favorites.ini";
  info.splashProcessId = stack.SplashProcessId;
  return info;
}

// The error box of a failed start; the same words go to standard error, for a launcher started from
// a terminal or a session log.
void ReportFailure(const std::string &message)
{
  std::fprintf(stderr, "corvala: %s\n", message.c_str());
  std::fflush(stderr);
  ShowErrorReport(QString::fromStdString(message));
}

// Says which servers stopped while the site was served and, when the user wants it, starts them
// again; the page shown then comes from the new servers.
void OfferServerRestart(TServerStack &stack, TfrmMain &form, const std::vector<std::string> &ended)
{
  stack.EndSplash();
  const std::string names = ended.size() == 1 ? ended[0] + " has" : ended[0] + " and " + ended[1] + " have";
  const std::string text = names + " stopped running, so the site may not work.\n\n"
                                   "Restart the servers?";
  if (ShowMessageBox(QString::fromStdString(text), MB_YESNO | MB_ICONWARNING) != IDYES || form.ShuttingDown())
    return;
  const int oldPort = stack.State().ApachePort;
  stack.RestartServers();
  form.ApachePort = stack.State().ApachePort;
  if (stack.State().ApachePort == oldPort)
    form.Browser()->Refresh();
  else
    form.Browser()->Navigate(QString::fromStdString(Corvala::StartAddress(stack.State().ApachePort)));
}

TRunLogs RunLogsOf(const std::string &workFolder)
{
  TRunLogs run{.logs = {}, .folder = workFolder};
  for (const Corvala::TStackLog &log : Corvala::StackLogs(workFolder))
    run.logs.push_back({log.caption, log.path, log.lineMark});
  return run;
}

} // namespace

int RunLauncher(int argc, char **argv)
{
  // The marker belongs to this instance alone; no child may inherit it.
  unsetenv(RelaunchMarkerVariable);
  const std::string program = GetProgramPath();
  // The name of this installation's single instance and of the requests to show its window.
  const std::string instanceName = Md5Hex(program);
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
    if (stack.Prepare() == TServerStack::TStartResult::AlreadyRunning) {
      // A second start brings the running instance's window forward, as desktop programs do.
      try {
        RequestShow(instanceName);
      } catch (const std::exception &error) {
        ReportModeError(stack.State().AppName +
                        " is already running, and its window could not be asked to come "
                        "to the front: " +
                        error.what());
        return 1;
      }
      TerminateCurrentProcess();
    }
    // One left by a start that came while no instance ran would show the window for nothing.
    TakeShowRequest(instanceName);
    prepared = true;
    const TTraceStep step("servers started");
    stack.StartServers();
  } catch (...) {
    startFailure = std::current_exception();
  }

  auto applicationStep = std::make_optional<TTraceStep>("application");
  TCorvalaApplication application(argc, argv);
  // The class of every window, by which task bars group and name them: a distribution's own title.
  QApplication::setApplicationName(prepared && !stack.State().AppName.empty()
                                       ? QString::fromStdString(stack.State().AppName)
                                       : QString("Corvala"));
  // Every window, pop-ups and boxes included, carries the program's icon.
  QApplication::setWindowIcon(MainIcon());
  QApplication::setQuitOnLastWindowClosed(false);
  applicationStep.reset();
  // What the window says once it shows the site: things that work differently than they should.
  std::vector<std::string> notices;
  try {
    BrowserProfile::Open(program);
  } catch (const std::exception &error) {
    // The pages still work, with a profile that forgets them at the end.
    std::fprintf(stderr, "corvala: %s\n", error.what());
    notices.push_back(std::string(error.what()) + ": cookies and logins are forgotten at the end.");
  }
  if (prepared)
    if (const std::optional<std::string> problem = ShowRequestProblem(instanceName))
      notices.push_back(*problem);
  auto formStep = std::make_optional<TTraceStep>("main window and browser engine");
  TfrmMain form(TStackHooks{[&stack] { stack.Stop(); }, [&stack] { stack.EndSplash(); },
                            [&stack] { Corvala::OpenStackTerminal(GetAppPath(), stack.State()); },
                            [&stack] { return RunLogsOf(stack.State().WorkFolder); }});
  form.BeginWarmUp();
  formStep.reset();
  TExitWatch exitWatch(program, exitSignals);
  auto requestExit = [&exitRequest, &form] {
    exitRequest.requested = true;
    form.CloseApplication();
  };
  QObject::connect(&exitWatch, &TExitWatch::exitRequested, requestExit);
  QObject::connect(&application, &QGuiApplication::commitDataRequest, requestExit);
  // One server command at a time: the watch below waits while one runs.
  QObject::connect(&form, &TfrmMain::settingsRequested, [&] {
    const TServerStack::TCommand command(stack);
    RunSettingsCommand(form, stack.State().WorkFolder);
  });
  QObject::connect(&form, &TfrmMain::downSizeRequested, [&] {
    const TServerStack::TCommand command(stack);
    RunDownSizeCommand(form);
  });
  // A server that ends while the site is served is noticed here; children that ended are reaped.
  QTimer serverWatch;
  serverWatch.setInterval(ServerWatchInterval);
  QObject::connect(&serverWatch, &QTimer::timeout, [&] {
    ReapChildren();
    const std::vector<std::string> ended = stack.TakeEndedServers();
    if (exitRequest.requested || form.ShuttingDown())
      return;
    form.ShowServerNote(QString::fromStdString(TServerStack::StoppedServersNote(stack.StoppedServers())));
    if (ended.empty())
      return;
    serverWatch.stop();
    try {
      const TServerStack::TCommand command(stack);
      OfferServerRestart(stack, form, ended);
    } catch (const TServerStack::TStartStopped &) {
      return;
    } catch (const std::exception &error) {
      // As a failed start: nothing is left half-running behind the box.
      form.BeginShutdown();
      stack.Stop();
      ReportFailure(error.what());
      form.CloseApplication();
      return;
    }
    if (!exitRequest.requested && !form.ShuttingDown())
      serverWatch.start();
  });
  // With an external browser the window is never shown: the launcher ends when that browser does.
  bool showWindow = true;
  bool runLoop = true;
  int exitCode = 0;
  try {
    if (prepared) {
      const TTraceStep step("title and branding");
      QObject::connect(&form, &TfrmMain::rebrandRequested, &form, [&form, &stack] {
        const TServerStack::TCommand command(stack);
        BuildDistribution(
            form, stack.State().BrandFile,
            {.Pause = [&stack] { stack.PauseMySql(); }, .Resume = [&stack] { stack.ResumeMySql(); }});
      });
      // The menu's entry says what choosing it will do, looked up each time the menu opens.
      QAction *desktopEntry = form.findChild<QAction *>("mnuTray_DesktopEntry");
      QObject::connect(form.findChild<QMenu *>("mnuTray"), &QMenu::aboutToShow, desktopEntry,
                       [desktopEntry, title = stack.State().AppName, program] {
                         desktopEntry->setText(DesktopEntryCaption(title, program));
                       });
      QObject::connect(&form, &TfrmMain::desktopEntryRequested, &form,
                       [title = stack.State().AppName, program] { RunDesktopEntryCommand(title, program); });
      form.ApplyTitle(QString::fromStdString(stack.State().AppName), QApplication::windowIcon());
      form.ApplyBranding(StartupInfoOf(stack));
    }
    if (startFailure)
      std::rethrow_exception(startFailure);
    stack.WaitForApache();
    // The stack's note goes to the window with the others; standard error has it for a start
    // without a window.
    if (!stack.State().StatusNote.empty()) {
      std::fprintf(stderr, "corvala: %s\n", stack.State().StatusNote.c_str());
      notices.push_back(stack.State().StatusNote);
    }
    serverWatch.start();
    if (stack.State().UseExternalBrowser) {
      showWindow = false;
      runLoop = !RunExternalBrowser(stack, exitRequest);
      if (runLoop)
        form.KeepRunningInTray();
    } else {
      const TTraceStep step("favorites, pause, first navigation");
      if (!stack.State().SiteKey.empty())
        SetSiteKeyCookie(form.Browser()->page()->profile(), stack.State().ApachePort, Corvala::SiteKeyName,
                         stack.State().SiteKey);
      form.CompleteStartup(StartupInfoOf(stack));
      // One message, so that a later notice does not hide an earlier one.
      std::string said;
      for (const std::string &notice : notices)
        said += (said.empty() ? "" : "  ") + notice;
      if (!said.empty())
        form.ShowNotice(QString::fromStdString(said));
    }
  } catch (const TServerStack::TStartStopped &) {
  } catch (const std::exception &error) {
    // A failed start leaves nothing half-running: the splash goes before the box (it would cover
    // it) and no server runs without the others; after the box the launcher ends.
    serverWatch.stop();
    stack.Stop();
    if (!exitRequest.requested)
      ReportFailure(error.what());
    runLoop = false;
    exitCode = 1;
  }
  form.EndWarmUp();
  // A request that arrived while nothing read events is seen here.
  QCoreApplication::processEvents();
  QTimer showRequests;
  if (runLoop && !exitRequest.requested) {
    if (showWindow) {
      const TTraceStep step("window shown");
      form.show();
      QObject::connect(&showRequests, &QTimer::timeout, [&form, &instanceName] {
        if (TakeShowRequest(instanceName) && !form.ShuttingDown())
          form.ShowMainWindow(true);
      });
      showRequests.start(ShowRequestInterval);
    }
    exitCode = QApplication::exec();
  }
  showRequests.stop();
  serverWatch.stop();
  form.BeginShutdown();
  stack.Stop();
  if (prepared)
    ReleaseInstance(instanceName);
  return exitCode;
}
