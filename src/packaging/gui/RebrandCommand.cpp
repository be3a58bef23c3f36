#include "packaging/gui/RebrandCommand.h"

#include "files/Paths.h"
#include "packaging/BuildSummary.h"
#include "packaging/gui/BrandForm.h"
#include "packaging/gui/BuildProgressForm.h"
#include "packaging/gui/UserFolders.h"
#include "stack/host/WorkFolder.h"
#include "widgets/ApplicationTitle.h"
#include "widgets/CommandHost.h"
#include "widgets/MessageBox.h"
#include "widgets/QuietTray.h"

#include <QApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

using namespace Files;
using namespace Host;
using namespace Corvala;
using namespace Widgets;

namespace
{

QString Quoted(const std::string &path)
{
  return "\"" + QString::fromStdString(path) + "\"";
}

// Names the finished distribution's folder and offers to open it in the desktop's file manager.
void ShowBuildDone(QWidget *owner, const std::string &output, const std::string &typedOutput)
{
  QString text = QString::fromStdString(Corvala::DistributionReadyText(output));
  if (!typedOutput.empty())
    text += "\n\nThe output folder " + Quoted(typedOutput) +
            " does not exist, so the distribution was built in the default folder instead.";
  QMessageBox box(QMessageBox::Information, ApplicationTitle(), text, QMessageBox::NoButton, owner);
  box.setObjectName("msgBuildDone");
  QPushButton *open = box.addButton("&Open Folder", QMessageBox::AcceptRole);
  open->setObjectName("btnOpenFolder");
  box.addButton("&Close", QMessageBox::RejectRole)->setObjectName("btnClose");
  box.setDefaultButton(open);
  box.exec();
  if (box.clickedButton() == open &&
      !QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(output))))
    ShowMessageBox("No file manager could open " + Quoted(output) + ". The distribution is there.",
                   MB_OK | MB_ICONWARNING);
}

// Runs the build and waits for its end with the window working. Gives false when the program is
// to end: the build was cancelled for it.
bool RunBuild(TBuildRun &run, QWidget *owner)
{
  TfrmBuildProgress progress(owner);
  QObject::connect(&run, &TBuildRun::progressed, &progress, &TfrmBuildProgress::ShowProgress);
  QObject::connect(&progress, &TfrmBuildProgress::cancelRequested, &progress, [&] {
    run.Cancel();
    progress.ShowCancelling();
  });
  QEventLoop loop;
  QObject::connect(&run, &TBuildRun::finished, &loop, &QEventLoop::quit);
  progress.show();
  run.Start();
  // The loop also ends when the program is asked to end; the build is then cancelled, and its
  // end awaited with events still served (the build may wait for a database step here).
  loop.exec();
  const bool quitting = !run.Ended();
  if (quitting) {
    run.Cancel();
    progress.ShowCancelling();
    while (!run.Ended())
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return !quitting;
}

} // namespace

void BuildDistribution(TCommandHost &host, const std::string &brandFile, const TDataHold &hold,
                       const std::string &launcherPath)
{
  const TQuietTray quiet(host);
  TfrmBrand dialog(host.DialogOwner());
  static_cast<Corvala::TBrandSettings &>(dialog) =
      Corvala::ReadBrandSettings(Corvala::TConfigFile(brandFile));
  if (dialog.exec() != QDialog::Accepted)
    return;
  dialog.hide();
  std::optional<std::string> failure;
  try {
    const Corvala::TBuildSource source{launcherPath.empty() ? GetProgramPath() : launcherPath, GetAppPath(),
                                       GetTempWorkFolder(), brandFile, GetMyDocumentsFolder()};
    TBuildRun run(source, dialog, hold);
    if (!RunBuild(run, host.DialogOwner()) || run.WasCancelled)
      return;
    failure = run.Failure;
    if (!failure)
      ShowBuildDone(host.DialogOwner(), run.Output, dialog.TypedOutputDir);
  } catch (const std::exception &error) {
    failure = error.what();
  }
  if (failure)
    ShowMessageBox(QString::fromStdString(*failure), MB_OK | MB_ICONERROR);
}
