#include "packaging/gui/BuildProgressForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace
{

// A time left is shown once the copy has run this long: earlier rates are mostly page-cache noise.
constexpr qint64 FirstEstimateMs = 2000;

QLabel *Label(QWidget *owner, const char *name)
{
  auto *label = new QLabel(owner);
  label->setObjectName(name);
  return label;
}

QString TimeLeftText(qint64 seconds)
{
  if (seconds < 60)
    return QString("About %1 s left").arg(std::max<qint64>(seconds, 1));
  return QString("About %1 min %2 s left").arg(seconds / 60).arg(seconds % 60);
}

} // namespace

TfrmBuildProgress::TfrmBuildProgress(QWidget *owner) : QDialog(owner)
{
  setObjectName("frmBuildProgress");
  setWindowTitle("Building the distribution");
  setWindowModality(Qt::NonModal);
  lblStep = Label(this, "lblStep");
  lblFiles = Label(this, "lblFiles");
  lblBytes = Label(this, "lblBytes");
  lblTimeLeft = Label(this, "lblTimeLeft");
  barProgress = new QProgressBar(this);
  barProgress->setObjectName("barProgress");
  barProgress->setRange(0, 1000);
  barProgress->setValue(0);
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");
  connect(btnCancel, &QPushButton::clicked, this, &TfrmBuildProgress::reject);

  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnCancel);
  auto *layout = new QVBoxLayout(this);
  for (QWidget *widget : {static_cast<QWidget *>(lblStep), static_cast<QWidget *>(barProgress),
                          static_cast<QWidget *>(lblFiles), static_cast<QWidget *>(lblBytes),
                          static_cast<QWidget *>(lblTimeLeft)})
    layout->addWidget(widget);
  layout->addLayout(buttons);
  setMinimumWidth(420);
  lblStep->setText("Starting");
}

void TfrmBuildProgress::ShowProgress(const Corvala::TBuildProgress &progress)
{
  lblStep->setText(QString::fromStdString(progress.Step));
  if (progress.BytesTotal == 0 && progress.FilesTotal == 0)
    return;
  const QLocale locale;
  // The databases may grow a little between the count and their copy.
  const uint64_t bytesTotal = std::max(progress.BytesTotal, progress.BytesDone);
  lblFiles->setText(
      QString("%1 of %2 files")
          .arg(locale.toString(static_cast<qulonglong>(progress.FilesDone)))
          .arg(locale.toString(static_cast<qulonglong>(std::max(progress.FilesTotal, progress.FilesDone)))));
  lblBytes->setText(QString("%1 of %2")
                        .arg(locale.formattedDataSize(static_cast<qint64>(progress.BytesDone)))
                        .arg(locale.formattedDataSize(static_cast<qint64>(bytesTotal))));
  if (bytesTotal > 0)
    barProgress->setValue(static_cast<int>(progress.BytesDone * 1000 / bytesTotal));
  if (!copyClock.isValid()) {
    copyClock.start();
    copyStartBytes = progress.BytesDone;
    return;
  }
  const qint64 elapsed = copyClock.elapsed();
  const uint64_t copied = progress.BytesDone - copyStartBytes;
  if (elapsed < FirstEstimateMs || copied == 0)
    return;
  const double rate = static_cast<double>(copied) / static_cast<double>(elapsed);
  lblTimeLeft->setText(TimeLeftText(
      static_cast<qint64>(static_cast<double>(bytesTotal - progress.BytesDone) / rate / 1000.0)));
}

void TfrmBuildProgress::ShowCancelling()
{
  lblStep->setText("Cancelling: removing what the build made");
  lblTimeLeft->clear();
  btnCancel->setEnabled(false);
}

void TfrmBuildProgress::reject()
{
  // The dialog stays until the build has stopped; Escape and the window's close ask for a cancel.
  if (btnCancel->isEnabled())
    emit cancelRequested();
}
