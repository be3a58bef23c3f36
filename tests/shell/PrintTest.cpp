#include "MainFormFixture.h"
#include "browser/PagePrinting.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
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
  // the engine has written it whole.
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
          content = pdf.open(QIODevice::ReadOnly) ? pdf.readAll() : QByteArray();
          return content.trimmed().endsWith("%%EOF");
        },
        60s, "the PDF file written"));
    return content;
  }

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
  // Two pages of text at least.
  EXPECT_GT(pdf.size(), 10000);
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
