#include "stack/host/Environment.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace Host
{

namespace
{

// ISO 639-1 codes of the languages locales are commonly set to, with their English names.
constexpr std::pair<std::string_view, std::string_view> LanguageNames[] = {
    {"af", "Afrikaans"},       {"am", "Amharic"},   {"ar", "Arabic"},        {"az", "Azerbaijani"},
    {"be", "Belarusian"},      {"bg", "Bulgarian"}, {"bn", "Bengali"},       {"bs", "Bosnian"},
    {"ca", "Catalan"},         {"cs", "Czech"},     {"cy", "Welsh"},         {"da", "Danish"},
    {"de", "German"},          {"el", "Greek"},     {"en", "English"},       {"eo", "Esperanto"},
    {"es", "Spanish"},         {"et", "Estonian"},  {"eu", "Basque"},        {"fa", "Persian"},
    {"fi", "Finnish"},         {"fo", "Faroese"},   {"fr", "French"},        {"ga", "Irish"},
    {"gd", "Scottish Gaelic"}, {"gl", "Galician"},  {"gu", "Gujarati"},      {"he", "Hebrew"},
    {"hi", "Hindi"},           {"hr", "Croatian"},  {"hu", "Hungarian"},     {"hy", "Armenian"},
    {"id", "Indonesian"},      {"is", "Icelandic"}, {"it", "Italian"},       {"ja", "Japanese"},
    {"ka", "Georgian"},        {"kk", "Kazakh"},    {"km", "Khmer"},         {"kn", "Kannada"},
    {"ko", "Korean"},          {"ky", "Kyrgyz"},    {"lb", "Luxembourgish"}, {"lo", "Lao"},
    {"lt", "Lithuanian"},      {"lv", "Latvian"},   {"mk", "Macedonian"},    {"ml", "Malayalam"},
    {"mn", "Mongolian"},       {"mr", "Marathi"},   {"ms", "Malay"},         {"mt", "Maltese"},
    {"nb", "Norwegian"},       {"ne", "Nepali"},    {"nl", "Dutch"},         {"nn", "Norwegian Nynorsk"},
    {"no", "Norwegian"},       {"pa", "Punjabi"},   {"pl", "Polish"},        {"pt", "Portuguese"},
    {"ro", "Romanian"},        {"ru", "Russian"},   {"sk", "Slovak"},        {"sl", "Slovenian"},
    {"sq", "Albanian"},        {"sr", "Serbian"},   {"sv", "Swedish"},       {"sw", "Swahili"},
    {"ta", "Tamil"},           {"te", "Telugu"},    {"th", "Thai"},          {"tl", "Tagalog"},
    {"tr", "Turkish"},         {"uk", "Ukrainian"}, {"ur", "Urdu"},          {"uz", "Uzbek"},
    {"vi", "Vietnamese"},      {"zh", "Chinese"},
};

std::string EnvironmentText(const char *name)
{
  const char *value = getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

} // namespace

std::string LanguageNameOfLocale(const std::string &locale)
{
  // "ll_CC.charset@modifier": the language is everything before the first separator.
  std::string code = locale.substr(0, locale.find_first_of("_.@"));
  std::transform(code.begin(), code.end(), code.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
  for (const auto &[entryCode, name] : LanguageNames)
    if (entryCode == code)
      return std::string(name);
  return {};
}

std::string GetSystemLanguageName()
{
  for (const char *variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const std::string locale = EnvironmentText(variable);
    if (!locale.empty())
      return LanguageNameOfLocale(locale);
  }
  return {};
}

bool SetLanguageEnvironment()
{
  return SetEnvironmentValue("OS_LANGUAGE", GetSystemLanguageName());
}

bool SetPhpIniEnvironment(const std::string &folder)
{
  return SetEnvironmentValue("PHPRC", folder) && SetEnvironmentValue("PHP_INI_SCAN_DIR", "");
}

bool SetEnvironmentValue(const std::string &name, const std::string &value)
{
  if (name.empty() || name.find('=') != std::string::npos)
    return false;
  return setenv(name.c_str(), value.c_str(), 1) == 0;
}

} // namespace Host
