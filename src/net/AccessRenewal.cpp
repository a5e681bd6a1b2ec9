#include "net/AccessRenewal.h"

namespace veltrano {

namespace {

const QLatin1String kHeader("Authorization:");

} // namespace

qsizetype AccessRenewal::authorizationLine(const HttpRequest &request, QString *token)
{
    for (qsizetype i = 0; i < request.headerLines.size(); ++i) {
        const QString &line = request.headerLines[i];
        if (!line.startsWith(kHeader, Qt::CaseInsensitive))
            continue;
        const QStringView value = QStringView(line).mid(kHeader.size()).trimmed();
        const qsizetype blank = value.indexOf(QLatin1Char(' '));
        if (blank < 0)
            continue;
        const QStringView scheme = value.left(blank);
        if (scheme.compare(QLatin1String("OAuth"), Qt::CaseInsensitive) != 0 &&
            scheme.compare(QLatin1String("Bearer"), Qt::CaseInsensitive) != 0)
            continue;
        if (token)
            *token = value.mid(blank + 1).trimmed().toString();
        return i;
    }
    return -1;
}

void AccessRenewal::replaceToken(HttpRequest &request, const QString &token)
{
    const qsizetype at = authorizationLine(request);
    if (at < 0)
        return;
    const QString &line = request.headerLines[at];
    const QStringView value = QStringView(line).mid(kHeader.size()).trimmed();
    const QString scheme = value.left(value.indexOf(QLatin1Char(' '))).toString();
    request.headerLines[at] = QStringLiteral("Authorization: ") + scheme + QLatin1Char(' ') + token;
}

} // namespace veltrano
