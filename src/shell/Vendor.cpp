#include "shell/Vendor.h"

#include <QDesktopServices>
#include <QUrl>

void OpenContactMail()
{
  QDesktopServices::openUrl(QUrl("mailto:" + Vendor::ContactMail));
}
