#include "packaging/gui/RebrandCommand.h"

#include "packaging/DistributionBuild.h"
#include "packaging/gui/BrandForm.h"
#include "packaging/gui/Busy.h"
#include "packaging/gui/UserFolders.h"
#include "utils/Paths.h"
#include "utils/WorkFolder.h"
#include "widgets/MessageBox.h"
#include "widgets/QuietTray.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <exception>
#include <optional>

using namespace AppUtils;

namespace
{

// Opens the folder in the desktop's file manager.
void OpenFolderInShell(const std::string &folder)
{
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

} // namespace

void BuildDistribution(TCommandHost &host, const std::string &brandFile)
{
  const TQuietTray quiet(host);
  TfrmBrand dialog(host.DialogOwner());
  static_cast<Corvala::TBrandSettings &>(dialog) =
      Corvala::ReadBrandSettings(Corvala::TConfigFile(brandFile));
  const bool go = dialog.exec() == QDialog::Accepted;
  dialog.hide();
  QApplication::processEvents();
  SetBusy(true);
  std::optional<std::string> failure;
  if (go) {
    try {
      const Corvala::TBuildSource source{GetProgramPath(), GetAppPath(), GetTempWorkFolder(), brandFile,
                                         GetMyDocumentsFolder()};
      OpenFolderInShell(Corvala::MakeDistribution(source, dialog, [] { QApplication::processEvents(); }));
    } catch (const std::exception &error) {
      failure = error.what();
    }
  }
  // The box is shown under the normal cursor.
  SetBusy(false);
  if (failure)
    ShowMessageBox(QString::fromStdString(*failure), MB_OK | MB_ICONERROR);
}
