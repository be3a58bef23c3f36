#include "packaging/gui/Busy.h"

#include <QApplication>
#include <QWidget>

namespace AppUtils
{

void SetBusy(bool busy, QWidget *control)
{
  if (control)
    control->setEnabled(!busy);
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
  QApplication::processEvents();
}

} // namespace AppUtils
