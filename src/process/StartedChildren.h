#pragma once

#include "base/Types.h"

// Bookkeeping of the children StartProcess leaves running, so that only they are reaped here and
// the exit statuses of children started by other parts of the program stay with their owners.
namespace Process
{

void RememberStartedChild(Base::TProcessId id);

// Reaps the child when it is one of ours and has ended; other ids are left alone.
void ReapStartedChild(Base::TProcessId id);

} // namespace Process
