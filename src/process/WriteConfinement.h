#pragma once

#include "base/Types.h"

#include <string>

namespace Process
{

// Landlock rules under which a started process, and whatever it starts in turn, writes only beneath
// given paths: creating, removing, renaming, linking, writing and truncating files anywhere else is
// denied, to root as to any other user. Reading and executing stay free. StartProcess applies them
// through StartOptions::writeRules; they are closed with this object, once the start is done.
class TWriteConfinement
{
public:
  // Rules that allow every write beneath each folder of Paths, and writing and truncating each
  // file of it. Every write access the running kernel knows is confined: renaming and linking into
  // another folder from Landlock's ABI 2 on (before it they are denied everywhere), truncating from
  // ABI 3 on. Where the kernel has no Landlock, or has it turned off, the result is unavailable and
  // says why. Throws std::runtime_error naming the path when one cannot be opened, and the step
  // when the kernel refuses the rules for another reason.
  static TWriteConfinement Beneath(const Base::TStringArray &paths);
  // No rules, for the reason given.
  static TWriteConfinement Unavailable(std::string reason);

  // Takes over the descriptor of a ruleset.
  explicit TWriteConfinement(int descriptor) : descriptor_(descriptor) {}
  ~TWriteConfinement();
  TWriteConfinement(TWriteConfinement &&other) noexcept;
  TWriteConfinement &operator=(TWriteConfinement &&other) noexcept;
  TWriteConfinement(const TWriteConfinement &) = delete;
  TWriteConfinement &operator=(const TWriteConfinement &) = delete;

  bool Available() const { return descriptor_ >= 0; }
  // The ruleset for StartOptions::writeRules; -1 when unavailable.
  int Descriptor() const { return descriptor_; }
  // Why there are no rules ("this kernel has no Landlock"); empty when there are.
  const std::string &Reason() const { return reason_; }

private:
  TWriteConfinement(int descriptor, std::string reason);
  void Allow(const std::string &path, unsigned long long handled) const;

  int descriptor_ = -1;
  std::string reason_;
};

// The running kernel's Landlock ABI version; 0 when it has no Landlock or has it turned off.
int LandlockAbi();

} // namespace Process
