// The applications menu entry of a launcher, written into a private $XDG_DATA_HOME.
#include "packaging/gui/DesktopEntryCommand.h"

#include "ModalWatcher.h"
#include "packaging/BuildTree.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QMessageBox>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace fs = std::filesystem;
using TestSupport::RunCommand;
using TestSupport::ShellQuoted;

namespace
{

const std::string Title = "Acme Shop";

struct DesktopEntry : ::testing::Test {
  DesktopEntry()
  {
    if (const char *data = getenv("XDG_DATA_HOME"))
      oldData = data;
    setenv("XDG_DATA_HOME", root.File("data").c_str(), 1);
    // What the user's menu already holds, and must keep.
    root.Write("data/applications/editor.desktop",
               "[Desktop Entry]\nType=Application\nName=Editor\nExec=ed\n");
    root.Write("data/icons/hicolor/48x48/apps/editor.png", "png");
  }
  ~DesktopEntry() override
  {
    if (oldData)
      setenv("XDG_DATA_HOME", oldData->c_str(), 1);
    else
      unsetenv("XDG_DATA_HOME");
  }

  // A launcher at a path with blanks, quotes, a dollar and a percent sign: a link to the real one.
  std::string LauncherAt(const std::string &folder)
  {
    const std::string path = root.File(folder) + "/corvala";
    fs::create_directories(root.File(folder));
    fs::create_symlink(CORVALA_LAUNCHER, path);
    return path;
  }

  std::set<std::string> Files() const
  {
    std::set<std::string> files;
    for (const auto &entry : fs::recursive_directory_iterator(root.File("data")))
      if (!entry.is_directory())
        files.insert(entry.path().string());
    return files;
  }

  std::vector<std::string> OwnEntries() const
  {
    std::vector<std::string> entries;
    for (const auto &entry : fs::directory_iterator(root.File("data/applications")))
      if (entry.path().filename().string().starts_with("corvala-"))
        entries.push_back(entry.path().string());
    return entries;
  }

  TestSupport::TScratchFolder root{"corvala-desktop"};
  std::optional<std::string> oldData;
};

// The Exec key's program as a desktop environment reads it: the string value's escapes first,
// then the quoted argument's.
std::string ExecProgram(const std::string &desktopFile)
{
  const std::string text = TestSupport::ReadBytes(desktopFile);
  const size_t start = text.find("\nExec=") + 6;
  const std::string value = text.substr(start, text.find('\n', start) - start);
  std::string unescaped;
  for (size_t i = 0; i < value.size(); ++i)
    unescaped += value[i] == '\\' && i + 1 < value.size() ? value[++i] : value[i];
  EXPECT_EQ(unescaped.front(), '"');
  EXPECT_EQ(unescaped.back(), '"');
  std::string program;
  for (size_t i = 1; i + 1 < unescaped.size(); ++i) {
    if (unescaped[i] == '\\')
      ++i;
    else if (unescaped[i] == '%')
      ++i;
    program += unescaped[i];
  }
  return program;
}

} // namespace

TEST_F(DesktopEntry, AddWritesAValidEntryThatStartsThisLauncherAndRemoveTakesBackExactlyThat)
{
  const std::string launcher = LauncherAt("my \"sites\" $HOME 100% \\ here");
  const std::set<std::string> before = Files();
  EXPECT_EQ(DesktopEntryCaption(Title, launcher), "Add to Applications &Menu");
  TModalWatcher<QMessageBox> boxes([](QMessageBox &box) { box.done(0); });
  RunDesktopEntryCommand(Title, launcher);

  ASSERT_EQ(OwnEntries().size(), 1u);
  const std::string desktopFile = OwnEntries()[0];
  const auto validation = RunCommand("desktop-file-validate " + ShellQuoted(desktopFile));
  EXPECT_EQ(validation.ExitCode, 0) << validation.Output;
  EXPECT_EQ(validation.Output, "");
  const std::string program = ExecProgram(desktopFile);
  EXPECT_EQ(program, launcher);
  const auto version = RunCommand(ShellQuoted(program) + " --version");
  EXPECT_EQ(version.ExitCode, 0);
  EXPECT_TRUE(version.Output.starts_with("Corvala ")) << version.Output;
  // The icon at every size the launcher carries, each a picture of its size.
  const std::string id = fs::path(desktopFile).stem().string();
  EXPECT_NE(TestSupport::ReadBytes(desktopFile).find("\nIcon=" + id + "\n"), std::string::npos);
  for (const int size : {16, 32, 48, 64, 128, 256}) {
    const std::string icon = root.File("data/icons/hicolor/" + std::to_string(size) + "x" +
                                       std::to_string(size) + "/apps/" + id + ".png");
    const QImage image(QString::fromStdString(icon));
    EXPECT_EQ(image.size(), QSize(size, size)) << icon;
  }
  EXPECT_EQ(Files().size(), before.size() + 7);
  EXPECT_EQ(DesktopEntryCaption(Title, launcher), "Remove from Applications &Menu");

  RunDesktopEntryCommand(Title, launcher);
  EXPECT_EQ(Files(), before);
  EXPECT_EQ(DesktopEntryCaption(Title, launcher), "Add to Applications &Menu");
  EXPECT_EQ(boxes.seen, 0);
}

TEST_F(DesktopEntry, AMovedTreeIsNoticedAndItsEntryUpdatedWhenTheUserAgrees)
{
  const std::string oldLauncher = LauncherAt("old place");
  const std::set<std::string> before = Files();
  RunDesktopEntryCommand(Title, oldLauncher);
  fs::remove_all(root.File("old place"));
  const std::string launcher = LauncherAt("new place");
  // Another program of another title is not taken for this one.
  EXPECT_EQ(DesktopEntryCaption("Other Shop", launcher), "Add to Applications &Menu");
  EXPECT_EQ(DesktopEntryCaption(Title, launcher), "Update Applications &Menu Entry...");

  for (const bool agree : {false, true}) {
    SCOPED_TRACE(agree ? "Yes" : "No");
    QString text;
    TModalWatcher<QMessageBox> box([&](QMessageBox &shown) {
      text = shown.text();
      shown.button(agree ? QMessageBox::Yes : QMessageBox::No)->click();
    });
    RunDesktopEntryCommand(Title, launcher);
    EXPECT_EQ(box.seen, 1);
    EXPECT_TRUE(text.contains(QString::fromStdString(oldLauncher))) << text.toStdString();
    ASSERT_EQ(OwnEntries().size(), 1u);
    EXPECT_EQ(ExecProgram(OwnEntries()[0]), agree ? launcher : oldLauncher);
  }
  EXPECT_EQ(DesktopEntryCaption(Title, launcher), "Remove from Applications &Menu");
  RunDesktopEntryCommand(Title, launcher);
  EXPECT_EQ(Files(), before);
}

// A distribution's entry: its title, its runme, and its icon (the CD icon here) at each size it
// carries, the deepest image of each.
TEST_F(DesktopEntry, ADistributionsEntryStartsItsRunmeUnderItsTitleWithItsIcon)
{
  TBuildTree tree;
  Corvala::TBrandSettings settings = tree.Settings();
  settings.Title = "Acme Shop";
  const std::string runme = Corvala::MakeDistribution(tree.Source(), settings) + "/runme";
  RunDesktopEntryCommand(settings.Title, runme);

  ASSERT_EQ(OwnEntries().size(), 1u);
  const std::string desktopFile = OwnEntries()[0];
  const auto validation = RunCommand("desktop-file-validate " + ShellQuoted(desktopFile));
  EXPECT_EQ(validation.ExitCode, 0) << validation.Output;
  EXPECT_EQ(ExecProgram(desktopFile), runme);
  EXPECT_NE(TestSupport::ReadBytes(desktopFile).find("\nName=Acme Shop\n"), std::string::npos);
  const std::string id = fs::path(desktopFile).stem().string();
  for (const int size : {16, 32, 48}) {
    const QImage image(root.File("data/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                                 "/apps/" + id + ".png")
                           .c_str());
    EXPECT_EQ(image.size(), QSize(size, size));
    // The 4-bit image of a size has at most 16 colours and transparency.
    std::set<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 17u) << size << " px is not the deepest image";
  }
  EXPECT_FALSE(fs::exists(root.File("data/icons/hicolor/64x64")));
}
