#include "auth/SignInResultPage.h"

namespace veltrano {

std::string SignInResultPage::html(bool success, const QString &message)
{
    const QString title = success ? QStringLiteral("Account connected") : QStringLiteral("Sign-in not completed");
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Veltrano: %1</title>"
                          "<style>body{font-family:sans-serif;margin:3em;color:#333}"
                          "h1{color:%2;font-size:1.4em}</style></head>"
                          "<body><h1>%1</h1><p>%3</p></body></html>")
        .arg(title.toHtmlEscaped(), success ? QStringLiteral("#53A40C") : QStringLiteral("#C51E04"),
             message.toHtmlEscaped())
        .toStdString();
}

} // namespace veltrano
