#pragma once

#include <QString>

// The longest file name, in bytes of UTF-8, that the usual Linux file systems take.
constexpr int MaxFileNameBytes = 255;

// Name, as a server or a page gave it, made a safe file name: only its last path part; control
// characters (C0, DEL, C1) and the characters that turn text's direction replaced by '_'; blanks
// and dots at either end taken off (no hidden file, no "." or ".."); at most MaxBytes bytes of
// UTF-8, shortened in its stem so that a short extension stays. Gives Fallback when nothing is left.
QString SafeFileName(const QString &name, int maxBytes = MaxFileNameBytes,
                     const QString &fallback = QStringLiteral("download"));

// Name shortened to at most MaxBytes bytes of UTF-8, cut in its stem between characters, so that
// an extension of up to 16 bytes stays as it was.
QString ShortenedFileName(const QString &name, int maxBytes);
