#include "browser/DownloadName.h"

#include <QList>
#include <QStringView>

namespace
{

// The longest extension kept whole when a name is shortened; a longer "extension" is just text.
constexpr int MaxExtensionBytes = 16;

bool IsControl(char32_t code)
{
  return code < 0x20 || (code >= 0x7f && code <= 0x9f);
}

// The marks and embeddings that reorder text as it is shown: a name could pass for another.
bool TurnsDirection(char32_t code)
{
  return code == 0x061c || code == 0x200e || code == 0x200f || (code >= 0x202a && code <= 0x202e) ||
         (code >= 0x2066 && code <= 0x2069);
}

bool IsTrimmed(QChar character)
{
  return character.isSpace() || character == '.';
}

int Utf8Bytes(QStringView text)
{
  return static_cast<int>(text.toUtf8().size());
}

// The longest start of Text within MaxBytes of UTF-8, never splitting a surrogate pair.
QString FittingStart(const QString &text, int maxBytes)
{
  int bytes = 0;
  int end = 0;
  while (end < text.size()) {
    const int length = text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
    const int size = Utf8Bytes(QStringView(text).mid(end, length));
    if (bytes + size > maxBytes)
      break;
    bytes += size;
    end += length;
  }
  return text.left(end);
}

} // namespace

QString ShortenedFileName(const QString &name, int maxBytes)
{
  if (Utf8Bytes(name) <= maxBytes)
    return name;
  const qsizetype dot = name.lastIndexOf('.');
  const QString extension = dot > 0 ? name.mid(dot) : QString();
  if (extension.isEmpty() || Utf8Bytes(extension) > MaxExtensionBytes || Utf8Bytes(extension) >= maxBytes)
    return FittingStart(name, maxBytes);
  return FittingStart(name.left(dot), maxBytes - Utf8Bytes(extension)) + extension;
}

QString SafeFileName(const QString &name, int maxBytes, const QString &fallback)
{
  QString clean;
  clean.reserve(name.size());
  for (const char32_t code : name.toUcs4())
    clean += IsControl(code) || TurnsDirection(code) ? QString('_') : QString::fromUcs4(&code, 1);
  // Either kind of separator: a name from a server of another system names its folders with '\'.
  clean.replace('\\', '/');
  clean = clean.section('/', -1, -1, QString::SectionSkipEmpty);
  qsizetype start = 0;
  qsizetype end = clean.size();
  while (start < end && IsTrimmed(clean.at(start)))
    ++start;
  while (end > start && IsTrimmed(clean.at(end - 1)))
    --end;
  clean = clean.mid(start, end - start);
  if (clean.isEmpty())
    return fallback;
  return ShortenedFileName(clean, maxBytes);
}
