#include "stack/ServerReadiness.h"

#include "stack/MySqlConfig.h"
#include "stack/PrivateFiles.h"
#include "stack/ServerOutput.h"

#include <algorithm>
#include <stdexcept>
#include <unistd.h>

namespace Corvala
{

namespace
{
constexpr auto ApachePollInterval = std::chrono::milliseconds(330);
// How often one start moves its servers off ports that others took; each move goes up by one port.
constexpr int MaxPortMoves = 20;
// How long one look waits for MySQL's greeting.
constexpr auto GreetingWait = std::chrono::milliseconds(50);
// The pause between two looks at a resumed MySQL: a refused connection answers at once, and the
// window's events must go on meanwhile.
constexpr auto MySqlPollInterval = std::chrono::milliseconds(100);
} // namespace

// Apache's parent starts its workers from the same executable; the site answers once one runs.
// MySQL opens its port before it serves; it serves once it greets a client. A server that ends
// meanwhile took its reason to its output (Apache's configuration errors come before its log).
void TServerReadiness::WaitForServers()
{
  auto nextLook = Servers.ApacheStarted();
  int moves = 0;
  bool apacheUp = false;
  bool mySqlUp = Run.State.MySqlProcessId == 0;
  while (!apacheUp || !mySqlUp) {
    Run.Pump();
    Run.CheckStop();
    // After a late first look (the caller's own start-up ran long) the next is a full pause later.
    nextLook = std::max(nextLook + ApachePollInterval, Run.Clock().Now());
    WaitUntil(nextLook);
    if (moves < MaxPortMoves && Servers.MoveOffTakenPorts()) {
      ++moves;
      nextLook = Servers.ApacheStarted();
      apacheUp = false;
      mySqlUp = Run.State.MySqlProcessId == 0;
      continue;
    }
    const auto waited = Run.Clock().Now() - Servers.ApacheStarted();
    if (!apacheUp) {
      apacheUp = ApacheUp();
      if (!apacheUp && waited >= Run.Opts.ApacheWaitLimit)
        throw std::runtime_error("Apache did not start its worker process within " +
                                 std::to_string(Run.Opts.ApacheWaitLimit.count() / 1000) + " seconds" +
                                 LastWordsOf({Run.State.WorkFolder + "/error.log"}));
    }
    if (!mySqlUp) {
      mySqlUp = MySqlUp();
      if (!mySqlUp)
        CheckMySqlLimit(waited);
    }
  }
}

void TServerReadiness::WaitForMySql()
{
  const auto started = Run.Clock().Now();
  auto nextLook = started;
  while (!OwnMySqlGreets()) {
    Run.Pump();
    if (!Run.Processes().Exists(Run.State.MySqlProcessId))
      MySqlEnded();
    CheckMySqlLimit(Run.Clock().Now() - started);
    nextLook = std::max(nextLook + MySqlPollInterval, Run.Clock().Now());
    WaitUntil(nextLook);
  }
}

bool TServerReadiness::ApacheUp()
{
  TStackState &state = Run.State;
  if (!Run.Processes().Exists(state.ApacheProcessId)) {
    // Its id is free for the system to give to another process now; nothing may signal it.
    state.ApacheProcessId = 0;
    throw std::runtime_error(
        "Apache ended during its start" +
        LastWordsOf({ServerOutputPath(state.WorkFolder, "apache"), state.WorkFolder + "/error.log"}));
  }
  if (Run.Processes().FindByPath(state.ApacheExePath).size() < 2)
    return false;
  MakeApacheFilesPrivate(state.WorkFolder);
  return true;
}

bool TServerReadiness::MySqlUp()
{
  TStackState &state = Run.State;
  if (!Run.Processes().Exists(state.MySqlProcessId))
    MySqlEnded();
  if (!OwnMySqlGreets())
    return false;
  ShareSocketWithWorkers(MySqlSocketPath(state.WorkFolder), geteuid() == 0);
  return true;
}

// Another program may have taken MySQL's port between its probe and its bind (another tree started
// at the same moment): the greeting on the port would be that program's, while this MySQL is about
// to end. MariaDB makes its socket only after it holds its port, and only it answers there.
bool TServerReadiness::OwnMySqlGreets() const
{
  return Run.Ports().GreetsOnSocket(MySqlSocketPath(Run.State.WorkFolder), GreetingWait);
}

void TServerReadiness::MySqlEnded()
{
  Run.State.MySqlProcessId = 0;
  throw std::runtime_error("MySQL ended during its start" +
                           LastWordsOf({ServerOutputPath(Run.State.WorkFolder, "mysql")}));
}

void TServerReadiness::CheckMySqlLimit(std::chrono::steady_clock::duration waited) const
{
  if (waited >= Run.Opts.MySqlWaitLimit)
    throw std::runtime_error("MySQL did not answer within " +
                             std::to_string(Run.Opts.MySqlWaitLimit.count() / 1000) + " seconds" +
                             LastWordsOf({ServerOutputPath(Run.State.WorkFolder, "mysql")}));
}

void TServerReadiness::WaitUntil(std::chrono::steady_clock::time_point moment) const
{
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(moment - Run.Clock().Now());
  if (left.count() <= 0)
    return;
  if (Run.Opts.Wait)
    Run.Opts.Wait(left);
  else
    Run.Clock().Sleep(left);
}

} // namespace Corvala
