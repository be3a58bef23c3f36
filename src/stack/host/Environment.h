#pragma once

#include <string>

namespace Host
{

// English name of the language of the user's message locale (LC_ALL, else LC_MESSAGES, else LANG,
// the first one set and not empty): "de_DE.UTF-8" gives "German". Empty for the C and POSIX locales,
// when none is set, and for languages the table does not know.
std::string GetSystemLanguageName();

// The English name of an ISO 639-1 code (or of a locale name starting with one); empty when unknown.
std::string LanguageNameOfLocale(const std::string &locale);

// Sets OS_LANGUAGE to GetSystemLanguageName() (empty when there is none); true when it was set.
bool SetLanguageEnvironment();

// Points PHP at the folder holding the generated php.ini: PHPRC is the folder as given, and
// PHP_INI_SCAN_DIR is emptied so the host's own PHP configuration folder is not read as well.
// True when both were set.
bool SetPhpIniEnvironment(const std::string &folder);

// Sets a variable of this process's environment, which every child inherits; false for a name the
// environment cannot hold (empty or with "=").
bool SetEnvironmentValue(const std::string &name, const std::string &value);

} // namespace Host
