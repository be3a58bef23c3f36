#include "packaging/gui/Pickers.h"

#include "files/Paths.h"

#include <QApplication>
#include <QFileDialog>

using namespace Files;

namespace Corvala
{

namespace
{

QWidget *OwnerOr(QWidget *owner)
{
  return owner ? owner : QApplication::activeWindow();
}

// Runs the dialog; the chosen path when OK was pressed and something was chosen.
std::string RunDialog(QFileDialog &dialog)
{
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  return dialog.selectedFiles().first().toStdString();
}

} // namespace

bool SelectFileFiltered(std::string &fileName, const std::string &defaultExt, const std::string &patterns,
                        QWidget *owner)
{
  QFileDialog dialog(OwnerOr(owner));
  dialog.setObjectName("SelectFileDialog");
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setNameFilter(QString::fromStdString(patterns));
  QString suffix = QString::fromStdString(defaultExt);
  if (suffix.startsWith('.'))
    suffix.remove(0, 1);
  dialog.setDefaultSuffix(suffix);
  if (RegularFileExists(fileName))
    dialog.selectFile(QString::fromStdString(fileName));
  const std::string chosen = RunDialog(dialog);
  if (chosen.empty())
    return false;
  fileName = chosen;
  return true;
}

bool SelectFile(std::string &fileName, const std::string &defaultExt, QWidget *owner)
{
  return SelectFileFiltered(fileName, defaultExt, defaultExt.empty() ? "*" : "*" + defaultExt, owner);
}

bool BrowseForFolder(std::string &folder, const std::string &caption, QWidget *owner)
{
  if (!DirectoryExists(folder))
    folder.clear();
  QFileDialog dialog(OwnerOr(owner), QString::fromStdString(caption));
  dialog.setObjectName("BrowseForFolderDialog");
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (!folder.empty())
    dialog.setDirectory(QString::fromStdString(folder));
  const std::string chosen = RunDialog(dialog);
  if (chosen.empty())
    return false;
  folder = chosen;
  return true;
}

} // namespace Corvala
