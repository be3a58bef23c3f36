#include "browser/PopupFeatures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace
{

// Marks the console messages of the window.open wrapper; a page has no reason to log it.
const QString ReportPrefix = QStringLiteral("[corvala-window-open]");
const char *const FeaturesProperty = "corvalaPopupFeatures";

// console.log is taken before any page script runs, so a page replacing it does not hide the
// reports. The engine requests a new window before window.open returns, so the report of the
// return ends the call: a call that opened no new window (it named an existing one, or was
// refused) leaves no features behind for a later window.
const QString WrapperScript = QStringLiteral(R"JS(
(function () {
  const open = window.open;
  const log = console.log.bind(console);
  const prefix = %1;
  const report = (kind, url, features) => log(prefix + JSON.stringify([kind, url, features]));
  window.open = function (url, target, features) {
    let address = 'about:blank';
    try {
      if (url !== undefined && url !== null && String(url) !== '')
        address = new URL(String(url), document.baseURI).href;
    } catch (error) {
      address = '';
    }
    report('open', address, features === undefined || features === null ? '' : String(features));
    try {
      return open.apply(this, arguments);
    } finally {
      report('done', address, '');
    }
  };
})();
)JS");

bool IsSeparator(QChar c)
{
  return c == '=' || c == ',' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsBlank(QChar c)
{
  return c != '=' && c != ',' && IsSeparator(c);
}

// Splits the string into lower-case name/value pairs as browsers do; a later name overrides.
QMap<QString, QString> Tokenize(const QString &features)
{
  QMap<QString, QString> tokens;
  qsizetype position = 0;
  const qsizetype length = features.size();
  auto collect = [&] {
    const qsizetype start = position;
    while (position < length && !IsSeparator(features[position]))
      ++position;
    return features.mid(start, position - start).toLower();
  };
  while (position < length) {
    while (position < length && IsSeparator(features[position]))
      ++position;
    const QString name = collect();
    while (position < length && IsBlank(features[position]))
      ++position;
    QString value;
    if (position < length && features[position] == '=') {
      while (position < length && IsSeparator(features[position]) && features[position] != ',')
        ++position;
      value = collect();
    }
    if (!name.isEmpty())
      tokens[name] = value;
  }
  return tokens;
}

// The leading integer of Text (blanks and a sign allowed before it, anything after it).
std::optional<int> LeadingInteger(const QString &text)
{
  qsizetype position = 0;
  while (position < text.size() && text[position].isSpace())
    ++position;
  const qsizetype start = position;
  if (position < text.size() && (text[position] == '-' || text[position] == '+'))
    ++position;
  while (position < text.size() && text[position] >= '0' && text[position] <= '9')
    ++position;
  bool ok = false;
  const int value = text.mid(start, position - start).toInt(&ok);
  return ok ? std::optional<int>(value) : std::nullopt;
}

bool IsTrue(const QString &value)
{
  if (value.isEmpty() || value == "yes")
    return true;
  const std::optional<int> number = LeadingInteger(value);
  return number && *number != 0;
}

std::optional<int> Number(const QMap<QString, QString> &tokens, const QString &name, const QString &alias)
{
  const QString key = tokens.contains(name) ? name : alias;
  if (!tokens.contains(key))
    return std::nullopt;
  return LeadingInteger(tokens[key]);
}

std::optional<int> Size(const QMap<QString, QString> &tokens, const QString &name, const QString &alias)
{
  const std::optional<int> size = Number(tokens, name, alias);
  return size ? std::optional<int>(std::max(*size, MinPopupContentSize)) : std::nullopt;
}

} // namespace

TPopupFeatures ParsePopupFeatures(const QString &features)
{
  TPopupFeatures result;
  if (features.trimmed().isEmpty())
    return result;
  const QMap<QString, QString> tokens = Tokenize(features);
  auto bar = [&tokens](const QString &name) { return tokens.contains(name) && IsTrue(tokens[name]); };
  result.menuBar = bar("menubar");
  result.toolBar = bar("toolbar");
  result.addressBar = bar("location");
  result.statusBar = bar("status");
  result.left = Number(tokens, "left", "screenx");
  result.top = Number(tokens, "top", "screeny");
  result.width = Size(tokens, "width", "innerwidth");
  result.height = Size(tokens, "height", "innerheight");
  return result;
}

TWindowOpenReports::TWindowOpenReports(QWebEnginePage *page)
{
  QWebEngineScript script;
  script.setName("corvala-window-open");
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(true);
  script.setSourceCode(WrapperScript.arg(QString::fromUtf8(
      QJsonDocument(QJsonArray{ReportPrefix}).toJson(QJsonDocument::Compact).chopped(1).mid(1))));
  page->scripts().insert(script);
}

bool TWindowOpenReports::Take(const QString &message)
{
  if (!message.startsWith(ReportPrefix))
    return false;
  const QJsonArray report = QJsonDocument::fromJson(message.mid(ReportPrefix.size()).toUtf8()).array();
  const QString kind = report.at(0).toString();
  const QUrl url(report.at(1).toString());
  if (kind == "open") {
    address = url;
    features = report.at(2).toString();
    pending = true;
  } else if (kind == "done") {
    pending = false;
  }
  return true;
}

QString TWindowOpenReports::FeaturesFor(const QUrl &url)
{
  const bool blank = url.isEmpty() || url == QUrl("about:blank");
  if (!pending || (url != address && !(blank && address == QUrl("about:blank"))))
    return {};
  pending = false;
  return features;
}

void SetRequestedFeatures(QWebEngineNewWindowRequest &request, const QString &features)
{
  request.setProperty(FeaturesProperty, features);
}

QString RequestedFeatures(const QWebEngineNewWindowRequest &request)
{
  return request.property(FeaturesProperty).toString();
}
