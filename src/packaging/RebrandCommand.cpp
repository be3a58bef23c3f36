#include "packaging/RebrandCommand.h"

#include "packaging/BrandForm.h"
#include "packaging/Busy.h"
#include "packaging/DistributionBuild.h"
#include "shell/MainForm.h"
#include "shell/MessageBox.h"
#include "shell/QuietTray.h"
#include "utils/Paths.h"
#include "utils/WorkFolder.h"

#include <QApplication>
#include <QDesktopServices>
#include <QUrl>
#include <exception>
#include <optional>

using namespace AppUtils;

namespace
{

// The caption and icon of the box the packaging commands report their failures in.
void OpenFolderInShell(const std::string &folder)
{
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

} // namespace

void BuildDistribution(TfrmMain &form, const std::string &brandFile)
{
  const TQuietTray quiet(form);
  TfrmBrand dialog(&form);
  static_cast<Corvala::TBrandSettings &>(dialog) =
      Corvala::ReadBrandSettings(Corvala::TConfigFile(brandFile));
  const bool go = dialog.exec() == QDialog::Accepted;
  dialog.hide();
  QApplication::processEvents();
  SetBusy(true);
  std::optional<std::string> failure;
  if (go) {
    try {
      const Corvala::TBuildSource source{GetProgramPath(), GetAppPath(), GetTempWorkFolder(), brandFile};
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

void ConnectRebrand(TfrmMain &form, const std::string &brandFile)
{
  QObject::connect(&form, &TfrmMain::rebrandRequested, &form,
                   [&form, brandFile] { BuildDistribution(form, brandFile); });
}
