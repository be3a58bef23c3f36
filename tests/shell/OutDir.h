#pragma once

#include "support/GuiWait.h"
#include "support/Screenshot.h"

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

// Saves the display's picture as Name in the out folder once it has stopped changing; the event
// loop runs meanwhile, so that the test's own windows are drawn.
inline void SaveScreenshot(const QString &name)
{
  TestSupport::SaveScreenshot((OutDir() + "/" + name).toStdString(), RunEventsBetweenChecks);
}
