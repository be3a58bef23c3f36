#pragma once

#include <QString>

class TWebBrowser;

// Takes the downloads of Browser's profile, links and "Save page" alike; a profile is taken once,
// whichever of the browsers sharing it comes first. A download starts at once into a partial file in
// the user's download folder and runs in the status bar of the window whose page started it
// (TDownloadPanel), while a dialog asks where to save it: choosing a file moves it there when
// complete, cancelling deletes it. A window asks about one download at a time, the others waiting
// in turn. The server's name for the file is made safe first (SafeFileName). A download whose page
// has no window is declined.
void WatchDownloads(TWebBrowser *browser);

// The user's download folder (the XDG download folder, ~/Downloads by default), created when it
// is missing.
QString DownloadFolder();

// The file a download is written to until it is complete: beside Target, named after it, and not
// the name of an existing file or of the engine's own file for it (PartialFileFor(x) + ".download").
QString PartialFileFor(const QString &target);

// The file the engine writes a download to until it is complete, and leaves behind when it fails.
QString EngineFileFor(const QString &partial);
