#include "net/SiteScope.h"

#include "net/UrlKey.h"

namespace veltrano {

namespace {

// The authority ("host" or "host:port") of an http or https key; empty for
// any other text. A user name in front of the host is left out.
QString authorityOf(const QString &key)
{
    qsizetype start;
    if (key.startsWith(QLatin1String("https://")))
        start = 8;
    else if (key.startsWith(QLatin1String("http://")))
        start = 7;
    else
        return {};
    qsizetype end = start;
    while (end < key.size() && key[end] != u'/' && key[end] != u'?')
        ++end;
    QString authority = key.mid(start, end - start);
    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0)
        authority = authority.mid(at + 1);
    return authority;
}

QString withoutWww(const QString &authority)
{
    return authority.startsWith(QLatin1String("www.")) ? authority.mid(4) : authority;
}

// The host of an authority, its port left out.
QString hostOf(const QString &authority)
{
    if (authority.startsWith(u'['))
        return authority.left(authority.indexOf(u']') + 1);
    const qsizetype colon = authority.indexOf(u':');
    return colon < 0 ? authority : authority.left(colon);
}

} // namespace

SiteScope SiteScope::ofHost(const QString &site)
{
    const QString text = site.trimmed();
    if (text.isEmpty())
        return {};
    const QString address = text.contains(QLatin1String("://")) ? text : QStringLiteral("http://") + text;
    SiteScope scope;
    scope.m_kind = Kind::Host;
    scope.m_name = text;
    scope.m_value = withoutWww(authorityOf(UrlKey::of(address)));
    return scope;
}

SiteScope SiteScope::ofYandexHostId(const QString &hostId)
{
    // scheme:host:port, the host in its ASCII or its own spelling.
    const QString text = hostId.trimmed();
    const qsizetype first = text.indexOf(u':');
    const qsizetype last = text.lastIndexOf(u':');
    if (first <= 0 || last <= first)
        return {}; // not a host id this program can read: nothing to hold back
    const QString scheme = text.left(first);
    const QString address = scheme + QStringLiteral("://") + text.mid(first + 1, last - first - 1) + QLatin1Char(':') +
                            text.mid(last + 1) + QLatin1Char('/');
    SiteScope scope = ofHost(address);
    scope.m_name = hostId;
    return scope;
}

SiteScope SiteScope::ofSearchConsoleProperty(const QString &siteUrl)
{
    const QString text = siteUrl.trimmed();
    if (text.isEmpty())
        return {};
    SiteScope scope;
    scope.m_name = siteUrl;
    if (text.startsWith(QLatin1String("sc-domain:"), Qt::CaseInsensitive)) {
        scope.m_kind = Kind::Domain;
        scope.m_value = authorityOf(UrlKey::of(QStringLiteral("http://") + text.mid(10).trimmed() + u'/'));
        return scope;
    }
    scope.m_kind = Kind::Prefix;
    scope.m_value = UrlKey::of(text);
    // A prefix of a whole host ends with its "/", so that it does not cover
    // "https://example.com.other.org/".
    const QString authority = authorityOf(scope.m_value);
    if (!authority.isEmpty() && scope.m_value.endsWith(authority))
        scope.m_value += u'/';
    return scope;
}

bool SiteScope::contains(const QString &pageUrl) const
{
    if (m_kind == Kind::Everything)
        return true;
    const QString key = UrlKey::of(pageUrl);
    const QString authority = authorityOf(key);
    if (authority.isEmpty())
        return false;
    switch (m_kind) {
    case Kind::Host:
        return withoutWww(authority) == m_value;
    case Kind::Domain: {
        const QString host = hostOf(authority);
        return host == m_value || host.endsWith(u'.' + m_value);
    }
    case Kind::Prefix:
        // "https://example.com" is the page "https://example.com/".
        return key.startsWith(m_value) || key + u'/' == m_value;
    case Kind::Everything:
        break;
    }
    return true;
}

} // namespace veltrano
