#pragma once

#include <QString>

// The vendor's name and addresses, shown in the About box and used by the contact commands.
namespace Vendor
{
inline const QString Name = QStringLiteral("Corvala Project");
inline const QString Website = QStringLiteral("https://www.corvala.example/");
inline const QString ContactMail = QStringLiteral("support@corvala.example");
} // namespace Vendor

// Opens a new e-mail to the vendor's contact address in the user's mail program.
void OpenContactMail();
