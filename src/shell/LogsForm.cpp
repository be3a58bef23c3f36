#include "shell/LogsForm.h"

#include "files/Paths.h"
#include "shell/LogView.h"
#include "widgets/MessageBox.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

TfrmLogs::TfrmLogs(const TRunLogs &logs, QWidget *parent) : QWidget(parent, Qt::Window), folder(logs.folder)
{
  setObjectName("frmLogs");
  setWindowTitle("Logs");
  resize(900, 520);
  auto *column = new QVBoxLayout(this);

  pgcLogs = new QTabWidget(this);
  pgcLogs->setObjectName("pgcLogs");
  for (const TLogSource &source : logs.logs) {
    auto *view = new TLogView(source, pgcLogs);
    views.push_back(view);
    // A mnemonic per tab: Alt and the caption's first letter shows it.
    pgcLogs->addTab(view, "&" + QString::fromStdString(source.caption));
  }
  // The shown log takes the keys, so that its lines are selected and copied at once.
  connect(pgcLogs, &QTabWidget::currentChanged, this, [this](int index) {
    if (index >= 0)
      views[static_cast<size_t>(index)]->Text()->setFocus();
  });
  column->addWidget(pgcLogs, 1);

  auto *buttons = new QHBoxLayout;
  btnOpenFolder = new QPushButton("&Open the folder", this);
  btnOpenFolder->setObjectName("btnOpenFolder");
  btnOpenFolder->setToolTip(QString::fromStdString(folder));
  connect(btnOpenFolder, &QPushButton::clicked, this, [this] {
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder))))
      Widgets::ShowMessageBox(
          QString("No file manager could open the folder \"%1\".").arg(QString::fromStdString(folder)),
          Widgets::MB_OK | Widgets::MB_ICONERROR);
  });
  auto *btnClose = new QPushButton("&Close", this);
  btnClose->setObjectName("btnClose");
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
  buttons->addWidget(btnOpenFolder);
  buttons->addStretch(1);
  buttons->addWidget(btnClose);
  column->addLayout(buttons);

  tmrPoll = new QTimer(this);
  tmrPoll->setObjectName("tmrPoll");
  tmrPoll->setInterval(PollInterval);
  connect(tmrPoll, &QTimer::timeout, this, &TfrmLogs::PollLogs);
}

void TfrmLogs::ShowLogs()
{
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  if (!views.empty())
    views[static_cast<size_t>(pgcLogs->currentIndex())]->Text()->setFocus();
}

void TfrmLogs::showEvent(QShowEvent *event)
{
  PollLogs();
  tmrPoll->start();
  QWidget::showEvent(event);
}

void TfrmLogs::hideEvent(QHideEvent *event)
{
  // A closed window reads nothing; the next show catches up.
  tmrPoll->stop();
  QWidget::hideEvent(event);
}

void TfrmLogs::PollLogs()
{
  for (TLogView *view : views)
    view->Poll();
  // The work folder goes with the stack's stop.
  btnOpenFolder->setEnabled(Files::DirectoryExists(folder));
}
