#pragma once

#include "stack/StackSetup.h"
#include "support/TestSupport.h"

#include <string>
#include <sys/types.h>
#include <vector>

// Debian's installed Apache with its PHP module, serving a stack of a scratch folder on loopback.
namespace RealApache
{

bool Installed();

// A stack in root whose bin/ links the installed server's modules, its PHP module and the mime
// types, with an empty www/ that Apache's workers may read, on a free loopback port.
Corvala::TStackSetup LinkedStackIn(const TestSupport::TScratchFolder &root);

// The server started on the configuration WriteApacheConfig writes for setup; stopped when it goes.
class TServer
{
public:
  explicit TServer(const Corvala::TStackSetup &setup);
  ~TServer();
  TServer(const TServer &) = delete;
  TServer &operator=(const TServer &) = delete;

  // True once it answers; false when it ended first (its error log then says why).
  bool Serves() const { return serves_; }
  // The port it listens on: the setup's, or a later one when another server took that first.
  std::string Port() const { return std::to_string(setup_.apachePort); }
  std::string ErrorLog() const;

  // The whole response to one HTTP/1.0 request with these header lines ("Name: value").
  std::string Request(const std::string &method, const std::string &target,
                      const std::vector<std::string> &headers = {"Host: 127.0.0.1"},
                      const std::string &body = {}) const;

private:
  void Start();
  std::string OutputPath() const;
  Corvala::TStackSetup setup_;
  pid_t pid_ = -1;
  bool serves_ = false;
};

// The status code of a response ("HTTP/1.1 421 ..." gives 421), 0 when there is none.
int StatusOf(const std::string &response);

} // namespace RealApache
