#include "widgets/ApplicationTitle.h"

#include <QCoreApplication>
#include <optional>

namespace
{

std::optional<QString> &Title()
{
  static std::optional<QString> title;
  return title;
}

} // namespace

QString ApplicationTitle()
{
  return Title().value_or(QCoreApplication::applicationName());
}

void SetApplicationTitle(const QString &title)
{
  Title() = title;
}
