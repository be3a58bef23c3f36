#pragma once

#include "utils/Types.h"

// Bookkeeping of the children StartProcess leaves running, so that only they are reaped here and
// the exit statuses of children started by other parts of the program stay with their owners.
namespace AppUtils
{

void RememberStartedChild(TProcessId id);

// Reaps the child when it is one of ours and has ended; other ids are left alone.
void ReapStartedChild(TProcessId id);

} // namespace AppUtils
