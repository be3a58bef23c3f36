#pragma once

#include <QDir>
#include <QFileInfo>
#include <QString>

// The worktree's out/ folder, where the tests leave their screenshots.
inline QString OutDir()
{
  const QString folder = QDir::cleanPath(QFileInfo(__FILE__).absolutePath() + "/../../out");
  QDir().mkpath(folder);
  return folder;
}
