#include "browser/DownloadPanel.h"

#include "browser/DownloadShelf.h"
#include "browser/Downloads.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <filesystem>
#include <system_error>

namespace
{

// The widest the text of a panel gets: a long name is shortened in its middle, whole in the tip.
constexpr int MaxTextWidth = 360;

QString Size(qint64 bytes)
{
  return QLocale().formattedDataSize(bytes, 1);
}

QPushButton *AddButton(QWidget *panel, QHBoxLayout *row, const char *name, const QString &caption)
{
  auto *button = new QPushButton(caption, panel);
  button->setObjectName(name);
  button->setFlat(true);
  button->setCursor(Qt::PointingHandCursor);
  row->addWidget(button);
  return button;
}

} // namespace

TDownloadPanel::TDownloadPanel(QWebEngineDownloadRequest *download, const QString &name,
                               const QString &partial, QStatusBar *bar)
    : QFrame(bar), download(download), name(name), partial(partial), bar(bar)
{
  setObjectName("DownloadPanel");
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto *row = new QHBoxLayout(this);
  row->setContentsMargins(4, 0, 2, 0);
  row->setSpacing(4);
  text = new QLabel(this);
  text->setObjectName("lblDownload");
  text->setTextFormat(Qt::PlainText);
  row->addWidget(text);
  progress = new QProgressBar(this);
  progress->setObjectName("DownloadProgress");
  progress->setFixedWidth(120);
  progress->setMaximumHeight(14);
  progress->setTextVisible(false);
  row->addWidget(progress);
  cancel = AddButton(this, row, "btnCancelDownload", "Cancel");
  open = AddButton(this, row, "btnOpenDownload", "Open");
  showFolder = AddButton(this, row, "btnShowDownloadFolder", "Show in Folder");
  close = AddButton(this, row, "btnCloseDownload", QString::fromUtf8("\u2715"));
  close->setToolTip("Close");
  open->hide();
  showFolder->hide();
  close->hide();

  connect(cancel, &QPushButton::clicked, this, &TDownloadPanel::Abandon);
  connect(open, &QPushButton::clicked, this,
          [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(this->target)); });
  connect(showFolder, &QPushButton::clicked, this,
          [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(this->target).absolutePath())); });
  connect(close, &QPushButton::clicked, this, &TDownloadPanel::Dismiss);
  Follow(download);

  TDownloadShelf::Of(bar)->Add(this);
  ShowProgress();
  StateChanged();
}

TDownloadPanel::~TDownloadPanel()
{
  // The window goes before the download reached its target: nothing of it stays.
  if (download && !download->isFinished()) {
    download->disconnect(this);
    download->cancel();
  }
  if (!delivered)
    RemovePartial();
}

void TDownloadPanel::Follow(QWebEngineDownloadRequest *request)
{
  if (download)
    download->disconnect(this);
  download = request;
  connect(request, &QWebEngineDownloadRequest::receivedBytesChanged, this, &TDownloadPanel::ShowProgress);
  connect(request, &QWebEngineDownloadRequest::totalBytesChanged, this, &TDownloadPanel::ShowProgress);
  connect(request, &QWebEngineDownloadRequest::stateChanged, this, &TDownloadPanel::StateChanged);
}

void TDownloadPanel::Continue(QWebEngineDownloadRequest *resumed)
{
  resumed->setDownloadDirectory(QFileInfo(partial).absolutePath());
  resumed->setDownloadFileName(QFileInfo(partial).fileName());
  resumed->accept();
  Follow(resumed);
  ShowProgress();
}

void TDownloadPanel::SetTarget(const QString &file)
{
  target = file;
  name = QFileInfo(file).fileName();
  ShowProgress();
  if (download && download->state() == QWebEngineDownloadRequest::DownloadCompleted)
    Deliver();
}

void TDownloadPanel::Abandon()
{
  if (download && !download->isFinished())
    download->cancel();
  else
    Dismiss();
  RemovePartial();
}

void TDownloadPanel::ShowProgress()
{
  // A download cut off is not finished for the engine, which may resume it; its panel says why.
  if (!download || download->state() != QWebEngineDownloadRequest::DownloadInProgress)
    return;
  const qint64 received = download->receivedBytes();
  const qint64 total = download->totalBytes();
  if (total > 0) {
    SetText(QString("Downloading %1: %2 of %3").arg(name, Size(received), Size(total)));
    progress->setRange(0, 1000);
    progress->setValue(static_cast<int>(received * 1000 / total));
  } else {
    // Size unknown: a busy bar.
    SetText(QString("Downloading %1: %2").arg(name, Size(received)));
    progress->setRange(0, 0);
  }
}

void TDownloadPanel::StateChanged()
{
  if (!download)
    return;
  switch (download->state()) {
  case QWebEngineDownloadRequest::DownloadCompleted:
    if (!target.isEmpty())
      Deliver();
    else
      SetText(QString("%1 downloaded; where to save it?").arg(name));
    break;
  case QWebEngineDownloadRequest::DownloadCancelled:
    RemovePartial();
    Dismiss();
    break;
  case QWebEngineDownloadRequest::DownloadInterrupted:
    RemovePartial();
    Fail(download->interruptReasonString());
    break;
  default:
    break;
  }
}

void TDownloadPanel::Deliver()
{
  // A rename replaces a file the user chose to overwrite in one step.
  std::error_code error;
  std::filesystem::rename(partial.toStdString(), target.toStdString(), error);
  if (error == std::errc::cross_device_link) {
    // Another file system: copied beside the target first, so the target is still replaced whole.
    const QString copy = PartialFileFor(target);
    error.clear();
    std::filesystem::copy_file(partial.toStdString(), copy.toStdString(), error);
    if (!error)
      std::filesystem::rename(copy.toStdString(), target.toStdString(), error);
    if (error)
      QFile::remove(copy);
  }
  RemovePartial();
  if (error) {
    Fail(QString::fromStdString(error.message()));
    return;
  }
  delivered = true;
  SetText(QString("%1 downloaded (%2)").arg(name, Size(QFileInfo(target).size())));
  progress->hide();
  cancel->hide();
  open->show();
  showFolder->show();
  close->show();
}

void TDownloadPanel::SetText(const QString &line)
{
  text->setText(text->fontMetrics().elidedText(line, Qt::ElideMiddle, MaxTextWidth));
  text->setToolTip(line);
}

void TDownloadPanel::Fail(const QString &why)
{
  failed = true;
  SetText(QString("Download of %1 failed: %2").arg(name, why));
  progress->hide();
  cancel->hide();
  close->show();
}

void TDownloadPanel::RemovePartial() const
{
  QFile::remove(partial);
  QFile::remove(EngineFileFor(partial));
}

void TDownloadPanel::Dismiss()
{
  TDownloadShelf::Of(bar)->Remove(this);
  deleteLater();
}
