#pragma once

#include "shell/GuiWait.h"
#include "utils/Paths.h"
#include "utils/TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using TestFolder = TestSupport::TScratchFolder;

using TestSupport::TEnvOverride;

// Copies this test program (which doubles as the stand-in launcher) to Path, executable.
inline std::string CopyTestProgram(const std::string &path)
{
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::filesystem::copy_file(AppUtils::GetProgramPath(), path);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  return path;
}

inline std::vector<std::string> ReadLines(const std::string &path)
{
  std::vector<std::string> lines;
  std::istringstream in(TestSupport::ReadBytes(path));
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// What a message box showed before it was answered.
struct TSeenBox {
  QString caption;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QMessageBox::StandardButtons buttons;
};

// Answers every message box that opens with Answer and records what it showed.
class TBoxAnswerer
{
public:
  explicit TBoxAnswerer(QMessageBox::StandardButton answer)
  {
    timer.setInterval(5);
    QObject::connect(&timer, &QTimer::timeout, [this, answer] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible())
        return;
      boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons()});
      box->button(answer)->click();
    });
    timer.start();
  }
  std::vector<TSeenBox> boxes;

private:
  QTimer timer;
};
