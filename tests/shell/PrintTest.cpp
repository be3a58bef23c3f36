#include "MainFormFixture.h"
#include "OutDir.h"
#include "browser/PagePrinting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

namespace
{

// The page of the main window printed through the print dialog, to a PDF file.
class PrintTest : public MainFormTest
{
protected:
  void SetUp() override
  {
    ASSERT_TRUE(folder.isValid());
    server.SetPage("/letter", TitledPage("Letter", "<h1>Dear reader</h1><p>" +
                                                       QString("Some text. ").repeated(400) + "</p>"));
    ASSERT_NO_FATAL_FAILURE(Start());
    Visit("/letter", "Letter");
  }

  std::vector<QPrintDialog *> ShownPrintDialogs() const
  {
    std::vector<QPrintDialog *> shown;
    for (QPrintDialog *dialog : form->findChildren<QPrintDialog *>("dlgPrint"))
      if (dialog->isVisible())
        shown.push_back(dialog);
    return shown;
  }

  QPrintDialog *WaitForPrintDialog()
  {
    EXPECT_TRUE(WaitUntil([&] { return ShownPrintDialogs().size() == 1; }, 30s, "the print dialog"));
    return ShownPrintDialogs().empty() ? nullptr : ShownPrintDialogs().front();
  }

  // Chooses the PDF file in the dialog, names the file, and prints; gives the file's content once
  // the engine has written it whole. Under its name the file is never seen in part.
  QByteArray PrintToPdf(QPrintDialog *dialog, const QString &file)
  {
    if (auto *printers = dialog->findChild<QComboBox *>("printers"))
      for (int index = 0; index < printers->count(); ++index)
        if (printers->itemText(index).contains("PDF"))
          printers->setCurrentIndex(index);
    auto *name = dialog->findChild<QLineEdit *>("filename");
    EXPECT_NE(name, nullptr);
    if (!name)
      return {};
    name->setText(file);
    dialog->accept();
    QByteArray content;
    EXPECT_TRUE(WaitUntil(
        [&] {
          QFile pdf(file);
          if (!pdf.open(QIODevice::ReadOnly))
            return false;
          content = pdf.readAll();
          EXPECT_TRUE(content.trimmed().endsWith("%%EOF"))
              << "a part of the file, " << content.size() << " bytes";
          return true;
        },
        60s, "the PDF file written"));
    return content;
  }

  // The text pdftotext finds in File.
  static QString PdfText(const QString &file)
  {
    QProcess reader;
    reader.start("pdftotext", {file, "-"});
    EXPECT_TRUE(reader.waitForFinished(60000)) << "pdftotext (Debian package poppler-utils) did not run";
    EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    return QString::fromUtf8(reader.readAllStandardOutput());
  }

  // Counts the page's print requests, after the window has taken each.
  void CountPrintRequests()
  {
    QObject::connect(Browser()->page(), &QWebEnginePage::printRequested, [this] { ++printRequests; });
  }

  int printRequests = 0;

  void Evaluate(const QString &script)
  {
    bool done = false;
    Browser()->page()->runJavaScript(script, [&](const QVariant &) { done = true; });
    EXPECT_TRUE(WaitUntil([&] { return done; }, 30s, "the script " + script.toStdString()));
  }

  QTemporaryDir folder;
};

} // namespace

TEST_F(PrintTest, WindowPrintOpensOneDialogAndPrintsThePageToPdf)
{
  Evaluate("window.print(); 1");
  QPrintDialog *dialog = WaitForPrintDialog();
  ASSERT_NE(dialog, nullptr);
  // Modal to its window only: the tray and other windows keep working.
  EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
  // A page printing in a loop gets no second dialog.
  Evaluate("window.print(); window.print(); 1");
  EXPECT_EQ(ShownPrintDialogs().size(), 1u);

  const QByteArray pdf = PrintToPdf(dialog, folder.filePath("letter.pdf"));
  EXPECT_TRUE(pdf.startsWith("%PDF-")) << pdf.left(20).toStdString();
  // The page's text, not a picture of it: it can be found and selected, in a small file.
  const QString text = PdfText(folder.filePath("letter.pdf"));
  EXPECT_TRUE(text.contains("Dear reader")) << text.left(200).toStdString();
  EXPECT_GE(text.count("Some text."), 400);
  EXPECT_LT(pdf.size(), 200000);
  // Nothing else is left beside it.
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"letter.pdf"});
}

TEST_F(PrintTest, APagePrintingInALoopIsOfferedToBeStoppedFromItsSecondRequest)
{
  CountPrintRequests();
  Evaluate("setInterval(() => window.print(), 50); 1");
  // The first dialog is the plain one.
  QPrintDialog *dialog = WaitForPrintDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QCheckBox *>("chkStopPagePrinting"), nullptr);
  dialog->reject();
  ASSERT_TRUE(WaitUntil([&] { return ShownPrintDialogs().empty(); }, 10s, "the dialog closed"));

  // The loop brings it back, now with the offer.
  dialog = WaitForPrintDialog();
  ASSERT_NE(dialog, nullptr);
  auto *stop = dialog->findChild<QCheckBox *>("chkStopPagePrinting");
  ASSERT_NE(stop, nullptr);
  EXPECT_TRUE(stop->isVisible());
  EXPECT_EQ(stop->text(), "Don't let this page ask to print again");
  SaveScreenshot("print-loop-offer.png");
  stop->setChecked(true);
  dialog->reject();
  ASSERT_TRUE(WaitUntil([&] { return ShownPrintDialogs().empty(); }, 10s, "the dialog closed"));

  // The page goes on asking, and no dialog comes.
  const int asked = printRequests;
  ASSERT_TRUE(WaitUntil([&] { return printRequests >= asked + 5; }, 30s, "five more requests"));
  EXPECT_TRUE(ShownPrintDialogs().empty());
  // The user still prints.
  PrintPage(Browser());
  dialog = WaitForPrintDialog();
  ASSERT_NE(dialog, nullptr);
  dialog->reject();
  ASSERT_TRUE(WaitUntil([&] { return ShownPrintDialogs().empty(); }, 10s, "the dialog closed"));

  // Another load may ask again.
  Visit("/p1", "Page 1");
  Evaluate("window.print(); 1");
  dialog = WaitForPrintDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->findChild<QCheckBox *>("chkStopPagePrinting"), nullptr);
  dialog->reject();
}

TEST_F(PrintTest, TheContextMenuAndPrintPageOpenTheDialog)
{
  QMenu menu;
  emit Browser()->ContextMenuOpening(&menu);
  auto *print = menu.findChild<QAction *>("mnuPrint");
  ASSERT_NE(print, nullptr);
  EXPECT_EQ(print->text(), "Print...");
  print->trigger();
  QPrintDialog *dialog = WaitForPrintDialog();
  ASSERT_NE(dialog, nullptr);
  dialog->reject();
  ASSERT_TRUE(WaitUntil([&] { return ShownPrintDialogs().empty(); }, 10s, "the dialog closed"));

  // What Ctrl+P runs; after a cancelled dialog the page prints again.
  PrintPage(Browser());
  dialog = WaitForPrintDialog();
  ASSERT_NE(dialog, nullptr);
  const QByteArray pdf = PrintToPdf(dialog, folder.filePath("again.pdf"));
  EXPECT_TRUE(pdf.startsWith("%PDF-"));
}
