#include "shell/LogView.h"

#include "files/FileIO.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

namespace
{

// The most one poll reads of a log: about 10,000 lines of Apache's.
constexpr size_t MaxBacklog = 1024 * 1024;

} // namespace

TLogView::TLogView(const TLogSource &source, QWidget *parent)
    : QWidget(parent), follower(source.path, MaxBacklog, source.lineMark)
{
  const QString caption = QString::fromStdString(source.caption);
  setObjectName("tabLog_" + caption);
  auto *column = new QVBoxLayout(this);

  lblPath = new QLabel(QString::fromStdString(source.path), this);
  lblPath->setObjectName("lblPath_" + caption);
  lblPath->setTextFormat(Qt::PlainText);
  lblPath->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  lblPath->setWordWrap(true);
  column->addWidget(lblPath);
  // A log kept in another's file says so, or its lines would be looked for in the whole file.
  if (!source.lineMark.empty()) {
    auto *lblShared = new QLabel(
        QString("Only the lines of this file that hold \"%1\".").arg(QString::fromStdString(source.lineMark)),
        this);
    lblShared->setObjectName("lblShared_" + caption);
    lblShared->setTextFormat(Qt::PlainText);
    column->addWidget(lblShared);
  }

  lblState = new QLabel(this);
  lblState->setObjectName("lblState_" + caption);
  lblState->hide();
  column->addWidget(lblState);

  memLog = new QPlainTextEdit(this);
  memLog->setObjectName("memLog_" + caption);
  memLog->setReadOnly(true);
  // Selected and copied with the keyboard as well, as a log's lines are pasted into a report.
  memLog->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  memLog->setMaximumBlockCount(MaxLines);
  memLog->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  column->addWidget(memLog, 1);
}

void TLogView::Poll()
{
  Files::TFileFollower::TNews news;
  try {
    news = follower.Poll();
  } catch (const Files::EFileError &error) {
    ShowState(QString::fromStdString(error.what()), true);
    return;
  }
  ShowState(follower.Exists() ? QString()
                              : QString("The file does not exist now: not written yet, or the "
                                        "servers have stopped."),
            false);
  // Said in the log's own place, so that the lines before are not taken for the new file's.
  if (news.restarted)
    news.text.insert(0, "--- The file was emptied or replaced; its new lines follow. ---\n");
  if (news.text.empty())
    return;
  news.text.pop_back();
  QScrollBar *bar = memLog->verticalScrollBar();
  // Kept at the end while the user has not scrolled away from it.
  const bool following = bar->value() == bar->maximum();
  memLog->appendPlainText(QString::fromUtf8(news.text.data(), static_cast<qsizetype>(news.text.size())));
  if (following)
    bar->setValue(bar->maximum());
}

void TLogView::ShowState(const QString &state, bool error)
{
  lblState->setText(state);
  lblState->setStyleSheet(error ? "QLabel { color: #b00000; }" : QString());
  lblState->setVisible(!state.isEmpty());
}
