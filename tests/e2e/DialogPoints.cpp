#include "DialogPoints.h"

#include "maintenance/gui/DownSizeForm.h"
#include "maintenance/gui/SettingsForm.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionButton>
#include <functional>
#include <stdexcept>
#include <string>

namespace E2e
{

namespace
{

// The widgets need an application. It draws nowhere, so the display stays the launcher's, and it
// lasts as long as the test program (it is never deleted).
void EnsureOffscreenApplication()
{
  static int argc = 3;
  static char name[] = "e2e";
  static char platformOption[] = "-platform";
  static char platform[] = "offscreen";
  static char *argv[] = {name, platformOption, platform, nullptr};
  if (QApplication::instance() == nullptr)
    new QApplication(argc, argv);
}

QWidget &Child(QWidget &parent, const char *name)
{
  auto *child = parent.findChild<QWidget *>(name);
  if (child == nullptr)
    throw std::logic_error(parent.objectName().toStdString() + " has no " + name);
  return *child;
}

// The centre of Area (in the widget's own coordinates) of the dialog's widget Name, in the dialog's
// coordinates. The dialog is shown first, so that every widget has its final geometry (a spin box
// places its text field then).
TPoint CentreOf(QDialog &dialog, const char *name, const std::function<QRect(QWidget &)> &area)
{
  dialog.show();
  QApplication::processEvents();
  QWidget &widget = Child(dialog, name);
  const QPoint point = widget.mapTo(&dialog, area(widget).center());
  return {point.x(), point.y()};
}

QRect Whole(QWidget &widget)
{
  return widget.rect();
}

// A check box's box itself: a click on the caption counts only within the caption's text.
QRect Indicator(QWidget &box)
{
  QStyleOptionButton option;
  option.initFrom(&box);
  return box.style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
}

} // namespace

TPoint SettingsPortField()
{
  EnsureOffscreenApplication();
  TfrmSettings dialog;
  return CentreOf(dialog, "SpinEdit1",
                  [](QWidget &spin) { return Child(spin, "qt_spinbox_lineedit").geometry(); });
}

TPoint SettingsBox(const char *name)
{
  EnsureOffscreenApplication();
  TfrmSettings dialog;
  return CentreOf(dialog, name, Indicator);
}

TPoint SettingsOk()
{
  EnsureOffscreenApplication();
  TfrmSettings dialog;
  return CentreOf(dialog, "btnOK", Whole);
}

TPoint DownSizeBox(const char *name)
{
  EnsureOffscreenApplication();
  TfrmDownSize dialog("");
  return CentreOf(dialog, name, Indicator);
}

TPoint DownSizeOk()
{
  EnsureOffscreenApplication();
  TfrmDownSize dialog("");
  return CentreOf(dialog, "btnOK", Whole);
}

} // namespace E2e
