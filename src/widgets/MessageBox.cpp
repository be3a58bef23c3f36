#include "widgets/MessageBox.h"

#include "widgets/ApplicationTitle.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <utility>
#include <vector>

namespace Widgets
{

namespace
{

using TButtonList = std::vector<std::pair<QMessageBox::StandardButton, int>>;

TButtonList ButtonsOf(int flags)
{
  switch (flags & 0x0F) {
  case MB_OKCANCEL:
    return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
  case MB_ABORTRETRYIGNORE:
    return {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
  case MB_YESNOCANCEL:
    return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
  case MB_YESNO:
    return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
  case MB_RETRYCANCEL:
    return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
  default:
    return {{QMessageBox::Ok, IDOK}};
  }
}

QMessageBox::Icon IconOf(int flags)
{
  switch (flags & 0x70) {
  case MB_ICONERROR:
    return QMessageBox::Critical;
  case MB_ICONQUESTION:
    return QMessageBox::Question;
  case MB_ICONWARNING:
    return QMessageBox::Warning;
  case MB_ICONINFORMATION:
    return QMessageBox::Information;
  default:
    return QMessageBox::NoIcon;
  }
}

size_t DefaultButtonIndex(int flags)
{
  if (flags & MB_DEFBUTTON3)
    return 2;
  return (flags & MB_DEFBUTTON2) ? 1 : 0;
}

} // namespace

QString MessageBoxCaption(int flags)
{
  if ((flags & MB_ICONINFORMATION) == MB_ICONINFORMATION)
    return QStringLiteral("Information");
  if ((flags & MB_ICONWARNING) == MB_ICONWARNING)
    return QStringLiteral("Warning");
  if ((flags & MB_ICONQUESTION) == MB_ICONQUESTION)
    return QStringLiteral("Confirm");
  if ((flags & MB_ICONERROR) == MB_ICONERROR)
    return QStringLiteral("Error");
  return ApplicationTitle();
}

int ShowMessageBox(const QString &text, int flags)
{
  QMessageBox box(IconOf(flags), MessageBoxCaption(flags), text, QMessageBox::NoButton,
                  QApplication::activeWindow());
  box.setObjectName("MessageBox");
  const TButtonList buttons = ButtonsOf(flags);
  for (const auto &button : buttons)
    box.addButton(button.first);
  const size_t defaultIndex = DefaultButtonIndex(flags);
  if (defaultIndex < buttons.size())
    box.setDefaultButton(buttons[defaultIndex].first);
  // Escape and the close box answer as Qt picks: Cancel, else No, else the only button; a
  // confirmation is therefore never answered Yes by accident.
  box.exec();
  for (const auto &button : buttons)
    if (box.clickedButton() == box.button(button.first))
      return button.second;
  return IDCANCEL;
}

} // namespace Widgets
