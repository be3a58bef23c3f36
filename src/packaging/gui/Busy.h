#pragma once

class QWidget;

namespace AppUtils
{

// While busy: the wait cursor over the whole application and Control (when given) disabled;
// otherwise the cursor and Control back. Pending events are processed afterwards, so the change
// shows before the work starts.
void SetBusy(bool busy, QWidget *control = nullptr);

} // namespace AppUtils
