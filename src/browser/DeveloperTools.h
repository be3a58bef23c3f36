#pragma once

class TWebBrowser;

// The engine's developer tools for a page, in a window of their own: opened once per page and
// brought to the front when asked again; closing the window ends the inspection.
void OpenDeveloperTools(TWebBrowser *browser);
