#include "packaging/gui/BrandForm.h"

#include "base/Trim.h"
#include "config/ConfigFile.h"
#include "files/Paths.h"
#include "packaging/gui/Pickers.h"
#include "packaging/gui/UserFolders.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Base;
using namespace Files;
using namespace Corvala;

namespace
{

const char ImagePlaceholder[] = "Select an image for splash screen (*.bmp, *.jpg, *.png)";
const char IconPlaceholder[] = "Select an icon for the product (*.ico)";
const char DataDirPlaceholder[] = "Where your MySQL data files are located (eg: data/mysql)";
const char SrcDirPlaceholder[] = "Where your website files are located (eg: www)";
const char OutputDirPlaceholder[] = "Where you like to put a generated exe file (eg: desktop)";
const char FolderCaption[] = "Select a directory:";

std::string TextOf(const QLineEdit *edit)
{
  return edit->text().toStdString();
}

void SetText(QLineEdit *edit, const std::string &text)
{
  edit->setText(QString::fromStdString(text));
}

template <typename T> T *Named(T *widget, const char *name)
{
  widget->setObjectName(name);
  return widget;
}

QComboBox *YesNoList(const char *name, const QString &caption)
{
  auto *list = Named(new QComboBox, name);
  list->addItems({caption + " (Y)", caption + " (N)"});
  return list;
}

QLineEdit *Edit(const char *name)
{
  return Named(new QLineEdit, name);
}

// Buttons are reached by mouse only: the keyboard moves between the fields, and no button is a
// default one, so Enter in a field starts nothing (Go! builds at once, without a question).
QPushButton *Button(const char *caption, const char *name)
{
  auto *button = Named(new QPushButton(caption), name);
  button->setFocusPolicy(Qt::ClickFocus);
  button->setAutoDefault(false);
  return button;
}

QPushButton *BrowseButton(const char *name)
{
  return Button("Browse...", name);
}

QHBoxLayout *Row(std::initializer_list<QWidget *> widgets)
{
  auto *row = new QHBoxLayout;
  for (QWidget *widget : widgets)
    row->addWidget(widget);
  return row;
}

void AddLine(QGridLayout *grid, QLabel *label, QLayout *controls)
{
  const int line = grid->rowCount();
  grid->addWidget(label, line, 0);
  grid->addLayout(controls, line, 1);
}

void AddLine(QGridLayout *grid, const char *caption, QLayout *controls)
{
  AddLine(grid, new QLabel(caption), controls);
}

} // namespace

TfrmBrand::TfrmBrand(QWidget *owner) : QDialog(owner)
{
  setObjectName("frmBrand");
  setWindowTitle("Rebrand");
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(CreateProductGroup());
  layout->addWidget(CreateFoldersGroup());
  layout->addWidget(CreateOutputGroup());
  layout->addWidget(
      new QLabel("NOTE: Click GO! button to immediately get rebranded software. (Y=Yes, N=No)"));
  // The dialog's fields and Brand.ini stay as they are; the distribution's Config.ini holds the choice.
  auto *lblDeveloperTools = new QLabel("The distribution opens no developer tools (F12, Inspect) unless its "
                                       "Config.ini says devtools=1 (runme /config).");
  lblDeveloperTools->setObjectName("lblDeveloperTools");
  lblDeveloperTools->setWordWrap(true);
  layout->addWidget(lblDeveloperTools);
  btnOK = Button("Go!", "btnOK");
  btnCancel = Button("Cancel", "btnCancel");
  auto *buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOK);
  buttons->addWidget(btnCancel);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  QWidget *order[] = {edtImage, edtTitle,  edtIcon,      cboToolbar, cboStatusbar, cboTrayIcon, cboFullScreen,
                      cboIP,    SpinEdit1, cboCopyFiles, edtSrcDir,  edtDataDir,   edtOutputDir};
  for (size_t i = 1; i < std::size(order); ++i)
    setTabOrder(order[i - 1], order[i]);

  connect(btnOK, &QPushButton::clicked, this, &TfrmBrand::btnOKClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(btnSelectImage, &QPushButton::clicked, this, &TfrmBrand::btnSelectImageClick);
  connect(btnSelectIcon, &QPushButton::clicked, this, &TfrmBrand::btnSelectIconClick);
  connect(btnSelectSrcDir, &QPushButton::clicked, this, &TfrmBrand::btnSelectSrcDirClick);
  connect(Button1, &QPushButton::clicked, this, &TfrmBrand::Button1Click);
  connect(btnSelectOutputDir, &QPushButton::clicked, this, &TfrmBrand::btnSelectOutputDirClick);
}

QGroupBox *TfrmBrand::CreateProductGroup()
{
  auto *group = Named(new QGroupBox, "grpProduct");
  auto *grid = new QGridLayout(group);
  edtImage = Edit("edtImage");
  btnSelectImage = BrowseButton("btnSelectImage");
  AddLine(grid, "Splash screen (optional):", Row({edtImage, btnSelectImage}));
  edtTitle = Edit("edtTitle");
  AddLine(grid, "Product name (optional):", Row({edtTitle}));
  edtIcon = Edit("edtIcon");
  btnSelectIcon = BrowseButton("btnSelectIcon");
  AddLine(grid, "Product icon (optional):", Row({edtIcon, btnSelectIcon}));
  cboToolbar = YesNoList("cboToolbar", "Show Toolbar & Addressbar");
  cboStatusbar = YesNoList("cboStatusbar", "Show Statusbar");
  AddLine(grid, "Toolbar/Statusbar (optional):", Row({cboToolbar, cboStatusbar}));
  cboTrayIcon = YesNoList("cboTrayIcon", "Show Tray Icon");
  cboFullScreen = YesNoList("cboFullScreen", "Full Screen");
  AddLine(grid, "Tray icon/Full screen (optional):", Row({cboTrayIcon, cboFullScreen}));
  cboIP = YesNoList("cboIP", "127.0.0.1 - LOOPBACK");
  SpinEdit1 = Named(new QSpinBox, "SpinEdit1");
  SpinEdit1->setRange(1, 65535);
  // An emptied port field goes back to its last value when the field is left.
  SpinEdit1->setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  AddLine(grid, "IP address/Port (optional):", Row({cboIP, SpinEdit1}));
  cboCopyFiles =
      YesNoList("cboCopyFiles", "Copy site files from CD to hard disk on startup so PHP can write files");
  AddLine(grid, "Copy files to HD (optional):", Row({cboCopyFiles}));
  return group;
}

QGroupBox *TfrmBrand::CreateFoldersGroup()
{
  auto *group = Named(new QGroupBox, "grpFolders");
  auto *grid = new QGridLayout(group);
  Label2 = Named(new QLabel("Website directory (optional):"), "Label2");
  edtSrcDir = Edit("edtSrcDir");
  btnSelectSrcDir = BrowseButton("btnSelectSrcDir");
  AddLine(grid, Label2, Row({edtSrcDir, btnSelectSrcDir}));
  Label4 = Named(new QLabel("Database directory (optional):"), "Label4");
  edtDataDir = Edit("edtDataDir");
  Button1 = BrowseButton("Button1");
  AddLine(grid, Label4, Row({edtDataDir, Button1}));
  return group;
}

QGroupBox *TfrmBrand::CreateOutputGroup()
{
  auto *group = Named(new QGroupBox, "grpOutput");
  auto *grid = new QGridLayout(group);
  edtOutputDir = Edit("edtOutputDir");
  btnSelectOutputDir = BrowseButton("btnSelectOutputDir");
  AddLine(grid, "Output directory (optional):", Row({edtOutputDir, btnSelectOutputDir}));
  return group;
}

void TfrmBrand::showEvent(QShowEvent *event)
{
  if (!event->spontaneous())
    FormShow();
  QDialog::showEvent(event);
}

void TfrmBrand::FormShow()
{
  using namespace Corvala;
  SetText(edtImage, FileFieldText(SplashFileName, ImagePlaceholder));
  SetText(edtTitle, Title);
  SetText(edtIcon, FileFieldText(IconFile, IconPlaceholder));
  cboToolbar->setCurrentIndex(FlagItem(Toolbar));
  cboStatusbar->setCurrentIndex(FlagItem(StatusBar));
  cboTrayIcon->setCurrentIndex(FlagItem(TrayIcon));
  cboFullScreen->setCurrentIndex(FlagItem(FullScreen));
  cboCopyFiles->setCurrentIndex(FlagItem(CopyFilesToHardDisk));
  cboIP->setCurrentIndex(IP == LoopbackAddress ? 0 : 1);
  SpinEdit1->setValue(Port);
  SetText(edtDataDir, FolderFieldText(DataDir, DataDirPlaceholder));
  SetText(edtSrcDir, FolderFieldText(SrcDir, SrcDirPlaceholder));
  SetText(edtOutputDir, FolderFieldText(OutputDir, OutputDirPlaceholder));

  const std::string appPath = GetAppPath();
  const bool haveDatabase = DirectoryExists(appPath + "data/mysql");
  for (QWidget *control :
       {static_cast<QWidget *>(Label4), static_cast<QWidget *>(edtDataDir), static_cast<QWidget *>(Button1)})
    control->setEnabled(haveDatabase);
  const bool haveWebsite = DirectoryExists(appPath + "www");
  for (QWidget *control : {static_cast<QWidget *>(Label2), static_cast<QWidget *>(edtSrcDir),
                           static_cast<QWidget *>(btnSelectSrcDir)})
    control->setEnabled(haveWebsite);
}

void TfrmBrand::btnOKClick()
{
  Corvala::TBrandEntries entries;
  entries.Image = TextOf(edtImage);
  entries.Title = TextOf(edtTitle);
  entries.Icon = TextOf(edtIcon);
  entries.SrcDir = TextOf(edtSrcDir);
  entries.DataDir = TextOf(edtDataDir);
  entries.OutputDir = TextOf(edtOutputDir);
  entries.Toolbar = cboToolbar->currentIndex() == 0;
  entries.StatusBar = cboStatusbar->currentIndex() == 0;
  entries.TrayIcon = cboTrayIcon->currentIndex() == 0;
  entries.FullScreen = cboFullScreen->currentIndex() == 0;
  entries.CopyFilesToHardDisk = cboCopyFiles->currentIndex() == 0;
  entries.Loopback = cboIP->currentIndex() == 0;
  entries.Port = SpinEdit1->value();
  Corvala::ApplyBrandEntries(*this, entries);
  const std::string typed = Base::TrimBlanks(entries.OutputDir);
  TypedOutputDir.clear();
  if (!typed.empty() && typed != OutputDirPlaceholder && Corvala::ExistingFolderOf(typed).empty())
    TypedOutputDir = Files::ExpandFromAppDir(typed);
  accept();
}

void TfrmBrand::btnSelectImageClick()
{
  std::string file = Corvala::ExistingFileOf(TextOf(edtImage));
  if (SelectFileFiltered(file, ".bmp", "*.bmp *.jpg *.jpeg *.png", this))
    SetText(edtImage, file);
}

void TfrmBrand::btnSelectIconClick()
{
  std::string file = Corvala::ExistingFileOf(TextOf(edtIcon));
  if (SelectFile(file, ".ico", this))
    SetText(edtIcon, file);
}

void TfrmBrand::BrowseInto(QLineEdit *field, const std::string &fallback)
{
  std::string folder = Corvala::ExistingFolderOf(TextOf(field));
  if (folder.empty())
    folder = fallback;
  if (BrowseForFolder(folder, FolderCaption, this) && DirectoryExists(folder))
    SetText(field, folder);
}

void TfrmBrand::btnSelectSrcDirClick()
{
  BrowseInto(edtSrcDir, GetAppPath() + "www");
}

void TfrmBrand::Button1Click()
{
  BrowseInto(edtDataDir, GetAppPath() + "data/mysql");
}

void TfrmBrand::btnSelectOutputDirClick()
{
  BrowseInto(edtOutputDir, GetDesktopFolder());
}
