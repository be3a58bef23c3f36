#include "browser/PagePrinting.h"

#include "browser/WebBrowser.h"
#include "widgets/MessageBox.h"

#include <QDir>
#include <QMenu>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>
#include <memory>

namespace
{

constexpr char PrinterName[] = "PagePrinter";

// Where a page goes as PDF unless the user says otherwise: the documents folder, under the page's
// title.
QString DefaultPdfFile(const QString &title)
{
  QString name = title.trimmed();
  name.replace('/', '_');
  if (name.isEmpty() || name.startsWith('.'))
    name = "page" + name;
  QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (folder.isEmpty() || !QDir(folder).exists())
    folder = QDir::homePath();
  return folder + "/" + name + ".pdf";
}

// The printing of one browser's page; a child of the browser.
class TPagePrinter : public QObject
{
public:
  explicit TPagePrinter(TWebBrowser *browser) : QObject(browser), browser(browser)
  {
    setObjectName(PrinterName);
    connect(browser, &QWebEngineView::printFinished, this, &TPagePrinter::Finished);
  }

  ~TPagePrinter() override { delete dialog.data(); }

  void Ask()
  {
    if (printing || (dialog && dialog->isVisible())) {
      if (dialog)
        dialog->raise();
      return;
    }
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setDocName(browser->title());
    // With no printer the dialog offers the PDF file, named after the page.
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
      printer->setOutputFormat(QPrinter::PdfFormat);
      printer->setOutputFileName(DefaultPdfFile(browser->title()));
    }
    // Owned by the browser, so it goes with the page; modal to its window only.
    dialog = new QPrintDialog(printer.get(), browser);
    dialog->setObjectName("dlgPrint");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    // The connection holds the printer for as long as the dialog, which uses it to its end.
    connect(dialog, &QDialog::finished, this, [this, printer](int result) {
      if (result == QDialog::Accepted)
        Start(printer);
    });
    dialog->open();
  }

private:
  void Start(const std::shared_ptr<QPrinter> &printer)
  {
    printing = printer;
    // A PDF file too goes through the printer: after the engine's own PDF writer (printToPdf) this
    // engine version crashed at exit.
    browser->print(printer.get());
  }

  void Finished(bool success)
  {
    if (!printing)
      return;
    const QString file =
        printing->outputFormat() == QPrinter::PdfFormat ? printing->outputFileName() : QString();
    printing.reset();
    if (!success)
      Widgets::ShowMessageBox(file.isEmpty() ? QString("The page could not be printed.")
                                             : QString("The page could not be printed to %1.").arg(file),
                              Widgets::MB_OK | Widgets::MB_ICONERROR);
  }

  TWebBrowser *browser;
  // The printer of the print that runs.
  std::shared_ptr<QPrinter> printing;
  QPointer<QPrintDialog> dialog;
};

TPagePrinter *PrinterOf(TWebBrowser *browser)
{
  if (auto *printer = browser->findChild<QObject *>(PrinterName, Qt::FindDirectChildrenOnly))
    return static_cast<TPagePrinter *>(printer);
  return new TPagePrinter(browser);
}

} // namespace

void PrintPage(TWebBrowser *browser)
{
  PrinterOf(browser)->Ask();
}

void AttachPrinting(TWebBrowser *browser)
{
  TPagePrinter *printer = PrinterOf(browser);
  QObject::connect(browser->page(), &QWebEnginePage::printRequested, printer, &TPagePrinter::Ask);
  QObject::connect(browser, &TWebBrowser::ContextMenuOpening, printer, [printer](QMenu *menu) {
    menu->addSeparator();
    QAction *print = menu->addAction("Print...");
    print->setObjectName("mnuPrint");
    QObject::connect(print, &QAction::triggered, printer, &TPagePrinter::Ask);
  });
}
