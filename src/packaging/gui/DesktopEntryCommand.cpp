#include "packaging/gui/DesktopEntryCommand.h"

#include "packaging/DesktopEntry.h"
#include "resources/ExeResources.h"
#include "widgets/MessageBox.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <exception>

using namespace Resources;
using namespace Widgets;

namespace
{

// The square images of the program's main icon as PNG files by size; of several images of a size
// the one with the most colours (the later one when the reader gives them alike: icon files list
// a size's deeper images after its shallower ones).
std::map<int, std::string> MainIconImages(const std::string &program)
{
  std::map<int, QImage> best;
  if (const auto icon = ReadIconResource(program, TResName("MAINICON"))) {
    QByteArray bytes = QByteArray::fromStdString(*icon);
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "ico");
    for (int index = 0; index < reader.imageCount() && reader.jumpToImage(index); ++index) {
      const QImage image = reader.read();
      if (image.isNull() || image.width() != image.height())
        continue;
      const auto kept = best.find(image.width());
      if (kept == best.end() || image.bitPlaneCount() >= kept->second.bitPlaneCount())
        best[image.width()] = image;
    }
  }
  std::map<int, std::string> images;
  for (const auto &[size, image] : best) {
    QByteArray png;
    QBuffer out(&png);
    out.open(QIODevice::WriteOnly);
    if (image.save(&out, "PNG"))
      images[size] = png.toStdString();
  }
  return images;
}

void AddEntry(const std::string &program, const std::string &title)
{
  Corvala::WriteDesktopEntry({program, title, MainIconImages(program)});
}

} // namespace

QString DesktopEntryCaption(const std::string &title, const std::string &program)
{
  try {
    switch (Corvala::FindDesktopEntry(program, title).State) {
    case Corvala::TDesktopEntryState::Present:
      return "Remove from Applications &Menu";
    case Corvala::TDesktopEntryState::Stale:
      return "Update Applications &Menu Entry...";
    case Corvala::TDesktopEntryState::Missing:
      break;
    }
  } catch (const std::exception &) {
    // Without a data folder the add says why.
  }
  return "Add to Applications &Menu";
}

void RunDesktopEntryCommand(const std::string &title, const std::string &program)
{
  try {
    const Corvala::TDesktopEntryLookup entry = Corvala::FindDesktopEntry(program, title);
    switch (entry.State) {
    case Corvala::TDesktopEntryState::Missing:
      AddEntry(program, title);
      break;
    case Corvala::TDesktopEntryState::Present:
      Corvala::RemoveDesktopEntry(entry.File);
      break;
    case Corvala::TDesktopEntryState::Stale:
      if (ShowMessageBox(QString::fromStdString("The applications menu entry of this program starts \"" +
                                                entry.OldProgram +
                                                "\", which no longer exists: the folder was moved.\n\n"
                                                "Update the entry to start \"" +
                                                program + "\"?"),
                         MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
      Corvala::RemoveDesktopEntry(entry.File);
      AddEntry(program, title);
      break;
    }
  } catch (const std::exception &error) {
    ShowMessageBox(QString::fromStdString(error.what()), MB_OK | MB_ICONERROR);
  }
}
