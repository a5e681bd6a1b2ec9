#include "reports/WebAddress.h"

namespace veltrano {

namespace {

bool startsWithScheme(QStringView line, QLatin1StringView scheme)
{
    return line.startsWith(scheme, Qt::CaseInsensitive);
}

// Characters that never stand in a host or an address as typed: blanks,
// quotes, angle brackets and backslashes.
bool forbiddenInAddress(QChar c)
{
    return c.isSpace() || c == u'<' || c == u'>' || c == u'"' || c == u'\\' || c == u'`' || c == u'{' || c == u'}' ||
           c == u'|' || c == u'^';
}

qsizetype hostEnd(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] != u'/' && text[i] != u'?' && text[i] != u'#')
        ++i;
    return i;
}

} // namespace

bool WebAddress::isHostName(QStringView host)
{
    // An optional port after the last colon.
    if (const qsizetype colon = host.lastIndexOf(u':'); colon >= 0) {
        const QStringView port = host.sliced(colon + 1);
        if (port.isEmpty() || port.size() > 5)
            return false;
        for (const QChar c : port) {
            if (!c.isDigit())
                return false;
        }
        host = host.first(colon);
    }
    if (host.isEmpty() || host.size() > 253)
        return false;
    int dots = 0;
    qsizetype labelStart = 0;
    bool lastLabelHasLetter = false;
    for (qsizetype i = 0; i <= host.size(); ++i) {
        if (i == host.size() || host[i] == u'.') {
            const qsizetype length = i - labelStart;
            if (length == 0 || length > 63 || host[labelStart] == u'-' || host[i - 1] == u'-')
                return false;
            if (i < host.size())
                ++dots;
            labelStart = i + 1;
            continue;
        }
        const QChar c = host[i];
        if (i == labelStart)
            lastLabelHasLetter = false;
        if (c.isLetter())
            lastLabelHasLetter = true;
        else if (!c.isDigit() && c != u'-')
            return false;
    }
    return dots > 0 && lastLabelHasLetter;
}

WebAddress::Kind WebAddress::classify(QStringView line)
{
    if (line.isEmpty())
        return Kind::NotWebAddress;
    qsizetype schemeLength = 0;
    if (startsWithScheme(line, QLatin1StringView("http://")))
        schemeLength = 7;
    else if (startsWithScheme(line, QLatin1StringView("https://")))
        schemeLength = 8;
    if (schemeLength > 0) {
        const QStringView rest = line.sliced(schemeLength);
        // A scheme of our own: any host that is not empty will do (a local
        // name such as "localhost" included), user information aside.
        // The path and query are the site's business (a quote in a path is
        // a page of its own); the host must be one.
        QStringView host = rest.first(hostEnd(rest));
        if (const qsizetype at = host.lastIndexOf(u'@'); at >= 0)
            host = host.sliced(at + 1);
        if (host.isEmpty() || host.startsWith(u':'))
            return Kind::NotWebAddress;
        for (const QChar c : host) {
            if (forbiddenInAddress(c))
                return Kind::NotWebAddress;
        }
        return Kind::Address;
    }
    for (const QChar c : line) {
        if (forbiddenInAddress(c))
            return Kind::NotWebAddress;
    }
    // Any other scheme ("ftp:", "javascript:", "mailto:") is no web address;
    // "example.com:8080/x" is a host with a port.
    const qsizetype end = hostEnd(line);
    if (line.indexOf(QLatin1StringView("://")) >= 0)
        return Kind::NotWebAddress;
    return isHostName(line.first(end)) ? Kind::HostWithoutScheme : Kind::NotWebAddress;
}

} // namespace veltrano
