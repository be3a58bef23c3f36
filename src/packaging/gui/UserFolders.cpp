#include "packaging/gui/UserFolders.h"

#include <QStandardPaths>

namespace Corvala
{

namespace
{

std::string WritableLocation(QStandardPaths::StandardLocation location)
{
  return QStandardPaths::writableLocation(location).toStdString();
}

} // namespace

std::string GetDesktopFolder()
{
  return WritableLocation(QStandardPaths::DesktopLocation);
}

std::string GetMyDocumentsFolder()
{
  return WritableLocation(QStandardPaths::DocumentsLocation);
}

} // namespace Corvala
