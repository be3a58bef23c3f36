#include "browser/PagePrinting.h"

#include "browser/DownloadName.h"
#include "browser/PageDialogs.h"
#include "browser/WebBrowser.h"
#include "widgets/MessageBox.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDir>
#include <QMenu>
#include <QPageLayout>
#include <QPageRanges>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <memory>

namespace
{

constexpr char PrinterName[] = "PagePrinter";

// Where a page goes as PDF unless the user says otherwise: the documents folder, under the page's
// title made a safe file name (its slashes are part of the title, not folders).
QString DefaultPdfFile(const QString &title)
{
  QString name = title;
  name.replace('/', '_').replace('\\', '_');
  name = SafeFileName(name, MaxFileNameBytes - 4, "page");
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
    // A new load may ask to print again, and gets the plain dialog first.
    connect(browser, &QWebEngineView::loadStarted, this, [this] {
      pageRequests = 0;
      pageStopped = false;
    });
  }

  ~TPagePrinter() override { delete dialog.data(); }

  // The user's own request: Ctrl+P, the menu.
  void Ask() { Open(false); }

  // The page's window.print(). From its second request since its load, the dialog offers to stop
  // the page's requests, as the page's boxes do: a page printing in a loop would else bring the
  // dialog back after each Cancel.
  void PageAsks()
  {
    if (pageStopped)
      return;
    ++pageRequests;
    Open(pageRequests > TPageDialogs::BoxesBeforeOffer);
  }

private:
  void Open(bool offerStop)
  {
    if (printing || writingPdf || (dialog && dialog->isVisible())) {
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
    QPointer<QCheckBox> stop;
    if (auto *column = qobject_cast<QBoxLayout *>(dialog->layout()); column && offerStop) {
      stop = new QCheckBox("Don't let this page ask to print again", dialog);
      stop->setObjectName("chkStopPagePrinting");
      // Above the dialog's buttons.
      column->insertWidget(column->count() - 1, stop);
    }
    // The connection holds the printer for as long as the dialog, which uses it to its end.
    connect(dialog, &QDialog::finished, this, [this, printer, stop](int result) {
      if (stop && stop->isChecked())
        pageStopped = true;
      if (result == QDialog::Accepted)
        Start(printer);
    });
    dialog->open();
  }

  void Start(const std::shared_ptr<QPrinter> &printer)
  {
    if (printer->outputFormat() == QPrinter::PdfFormat) {
      WritePdf(printer->outputFileName(), printer->pageLayout(), printer->pageRanges());
      return;
    }
    printing = printer;
    browser->print(printer.get());
  }

  // The engine makes the PDF itself, with the page's text and vector graphics; the file appears
  // under its name only once it is whole.
  void WritePdf(const QString &file, const QPageLayout &layout, const QPageRanges &ranges)
  {
    writingPdf = true;
    const QPointer<TPagePrinter> alive(this);
    browser->page()->printToPdf(
        [this, alive, file](const QByteArray &pdf) {
          if (!alive)
            return;
          writingPdf = false;
          if (pdf.isEmpty()) {
            ReportFailure(QString("The page could not be printed to %1.").arg(file));
            return;
          }
          QSaveFile out(file);
          if (!out.open(QIODevice::WriteOnly) || out.write(pdf) != pdf.size() || !out.commit())
            ReportFailure(QString("The page could not be printed to %1: %2").arg(file, out.errorString()));
        },
        layout, ranges);
  }

  void Finished(bool success)
  {
    if (!printing)
      return;
    printing.reset();
    if (!success)
      ReportFailure("The page could not be printed.");
  }

  static void ReportFailure(const QString &text)
  {
    Widgets::ShowMessageBox(text, Widgets::MB_OK | Widgets::MB_ICONERROR);
  }

  TWebBrowser *browser;
  // The printer of the print that runs.
  std::shared_ptr<QPrinter> printing;
  bool writingPdf = false;
  QPointer<QPrintDialog> dialog;
  int pageRequests = 0;
  bool pageStopped = false;
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
  QObject::connect(browser->page(), &QWebEnginePage::printRequested, printer, &TPagePrinter::PageAsks);
  QObject::connect(browser, &TWebBrowser::ContextMenuOpening, printer, [printer](QMenu *menu) {
    menu->addSeparator();
    QAction *print = menu->addAction("Print...");
    print->setObjectName("mnuPrint");
    QObject::connect(print, &QAction::triggered, printer, &TPagePrinter::Ask);
  });
}
