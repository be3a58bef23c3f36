#pragma once

#include "stack/StackRun.h"
#include "stack/StackServers.h"

#include <chrono>

namespace Corvala
{

// The wait until the started servers serve, within the options' limits.
class TServerReadiness
{
public:
  TServerReadiness(TStackRun &run, TStackServers &servers) : Run(run), Servers(servers) {}

  // Until Apache's worker runs and MySQL greets a client, the first look 330 ms after Apache's
  // start; moves a server whose port was taken meanwhile. A server that ends meanwhile, or does not
  // serve within its limit, fails the start with what it said.
  void WaitForServers();
  // Until a MySQL started alone greets a client.
  void WaitForMySql();

private:
  bool ApacheUp();
  bool MySqlUp();
  bool OwnMySqlGreets() const;
  [[noreturn]] void MySqlEnded();
  void CheckMySqlLimit(std::chrono::steady_clock::duration waited) const;
  void WaitUntil(std::chrono::steady_clock::time_point moment) const;

  TStackRun &Run;
  TStackServers &Servers;
};

} // namespace Corvala
