#pragma once

#include <QString>

namespace veltrano {

// The pages a chosen site covers, so that a check sends only the rows of
// that site: a page of another site is not "not indexed" or "no visits",
// it is simply not the chosen site's to answer. Rows and sites meet through
// the URL key (scheme and host lower-cased, international hosts in their
// ASCII form, default ports dropped).
//
// Three kinds of site:
// - a host (a Yandex Webmaster host id, a Metrika counter's site, an
//   Analytics property's website URL): a page is on it when its host and
//   port are the site's, whatever the scheme, and "www." in front of either
//   host is no difference ("example.com" covers "www.example.com" and the
//   other way round); other subdomains are other sites;
// - a URL-prefix Search Console property ("https://example.com/shop/"):
//   the page's key starts with the property's key, exactly as Google
//   decides it (scheme and "www." count);
// - a Domain property ("sc-domain:example.com"): the domain and every
//   subdomain of it, on any scheme and port.
// Only http and https addresses are pages of a site; a row that is no such
// address belongs to none.
class SiteScope final {
public:
    // No site: covers every page (nothing to compare with).
    SiteScope() = default;

    // "https:example.com:443", "http:пример.рф:80"; any other form covers
    // every page, for it names no host to compare with.
    static SiteScope ofYandexHostId(const QString &hostId);
    // "https://example.com/" or "sc-domain:example.com"
    static SiteScope ofSearchConsoleProperty(const QString &siteUrl);
    // A host written with or without a scheme: "example.com",
    // "https://www.example.com", "http://example.com:8080/".
    static SiteScope ofHost(const QString &site);

    bool contains(const QString &pageUrl) const;
    // The site as the user knows it, for messages: as the site was given,
    // unless a caller names it as its list shows it.
    const QString &name() const { return m_name; }
    SiteScope &named(const QString &name)
    {
        m_name = name;
        return *this;
    }
    bool coversEverything() const { return m_kind == Kind::Everything; }

private:
    enum class Kind { Everything, Host, Prefix, Domain };
    Kind m_kind = Kind::Everything;
    QString m_name;
    QString m_value; // host[:port] without "www.", prefix key, or domain
};

} // namespace veltrano
