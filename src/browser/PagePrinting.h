#pragma once

class QAction;
class TWebBrowser;

// Opens the print dialog for Browser's page, without blocking the other windows, and prints the page
// as chosen there: to a printer, or to a PDF file (what the dialog offers first when no printer is
// installed), which the engine writes with the page's text and vector graphics and which appears
// only once whole. While one print of the page is asked for or runs, further requests are ignored,
// so a page calling window.print() in a loop gets one dialog at a time; from the page's second
// request since its load, the dialog offers to stop its requests until it loads again. A failure
// is reported in a box.
void PrintPage(TWebBrowser *browser);

// Lets Browser's page be printed: its window.print() opens the print dialog, and its context menu
// gets "Print...".
void AttachPrinting(TWebBrowser *browser);
