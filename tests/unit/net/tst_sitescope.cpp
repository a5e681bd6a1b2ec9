#include "net/SiteScope.h"

#include <QtTest>

using veltrano::SiteScope;

Q_DECLARE_METATYPE(SiteScope)

class SiteScopeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void contains_data()
    {
        QTest::addColumn<SiteScope>("site");
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("onSite");

        const SiteScope yandexShop = SiteScope::ofYandexHostId(QStringLiteral("http:shop.example.org:80"));
        const SiteScope yandexHttps = SiteScope::ofYandexHostId(QStringLiteral("https:example.com:443"));
        const SiteScope yandexCyrillic = SiteScope::ofYandexHostId(QStringLiteral("https:xn--e1afmkfd.xn--p1ai:443"));
        const SiteScope yandexPort = SiteScope::ofYandexHostId(QStringLiteral("http:example.com:8080"));
        QTest::newRow("host: another site") << yandexShop << "https://example.com/a" << false;
        QTest::newRow("host: its own page") << yandexShop << "http://shop.example.org/catalog" << true;
        QTest::newRow("host: other scheme, same host") << yandexShop << "https://shop.example.org/" << true;
        QTest::newRow("host: upper case host") << yandexHttps << "HTTPS://EXAMPLE.COM/Page" << true;
        QTest::newRow("host: www in the row") << yandexHttps << "https://www.example.com/a" << true;
        QTest::newRow("host: other subdomain") << yandexHttps << "https://blog.example.com/a" << false;
        QTest::newRow("host: parent of the site") << yandexShop << "http://example.org/" << false;
        QTest::newRow("host: look-alike suffix") << yandexHttps << "https://myexample.com/" << false;
        QTest::newRow("host: explicit default port") << yandexHttps << "https://example.com:443/a" << true;
        QTest::newRow("host: other port") << yandexHttps << "https://example.com:8443/a" << false;
        QTest::newRow("host: site on a port") << yandexPort << "http://example.com:8080/a" << true;
        QTest::newRow("host: site on a port, row without") << yandexPort << "http://example.com/a" << false;
        QTest::newRow("host: Unicode row, punycode site") << yandexCyrillic << "https://пример.рф/каталог" << true;
        QTest::newRow("host: capital Unicode row") << yandexCyrillic << "https://ПРИМЕР.РФ/" << true;
        QTest::newRow("host: not a URL") << yandexHttps << "example.com/a" << false;
        QTest::newRow("host: empty row") << yandexHttps << "" << false;
        QTest::newRow("host: other scheme") << yandexHttps << "ftp://example.com/a" << false;
        QTest::newRow("host: user name before the host") << yandexHttps << "https://me@example.com/" << true;

        const SiteScope counter = SiteScope::ofHost(QStringLiteral("example.com"));
        const SiteScope counterWww = SiteScope::ofHost(QStringLiteral("www.example.com"));
        const SiteScope counterUnicode = SiteScope::ofHost(QStringLiteral("Пример.рф"));
        const SiteScope view = SiteScope::ofHost(QStringLiteral("https://www.example.com/"));
        QTest::newRow("counter: bare host") << counter << "https://example.com/a" << true;
        QTest::newRow("counter: its www") << counter << "http://www.example.com/a" << true;
        QTest::newRow("counter: www site, bare row") << counterWww << "https://example.com/a" << true;
        QTest::newRow("counter: Unicode site, punycode row")
            << counterUnicode << "https://xn--e1afmkfd.xn--p1ai/" << true;
        QTest::newRow("counter: another host") << counter << "https://example.net/" << false;
        QTest::newRow("view: website URL with www") << view << "https://example.com/" << true;
        QTest::newRow("view: another site") << view << "https://shop.example.org/" << false;

        const SiteScope prefix = SiteScope::ofSearchConsoleProperty(QStringLiteral("https://example.com/"));
        const SiteScope folder = SiteScope::ofSearchConsoleProperty(QStringLiteral("https://example.com/shop/"));
        const SiteScope noSlash = SiteScope::ofSearchConsoleProperty(QStringLiteral("https://example.com"));
        QTest::newRow("prefix: page under it") << prefix << "https://example.com/a/b?c=1" << true;
        QTest::newRow("prefix: the host without a path") << prefix << "https://example.com" << true;
        QTest::newRow("prefix: upper-case host") << prefix << "https://Example.COM/a" << true;
        QTest::newRow("prefix: http is another property") << prefix << "http://example.com/a" << false;
        QTest::newRow("prefix: www is another property") << prefix << "https://www.example.com/a" << false;
        QTest::newRow("prefix: folder, page in it") << folder << "https://example.com/shop/item" << true;
        QTest::newRow("prefix: folder, page beside it") << folder << "https://example.com/shopping" << false;
        QTest::newRow("prefix: folder path case counts") << folder << "https://example.com/Shop/item" << false;
        QTest::newRow("prefix: host without slash, look-alike") << noSlash << "https://example.com.evil.org/" << false;
        QTest::newRow("prefix: not a URL") << prefix << "not a url" << false;

        const SiteScope domain = SiteScope::ofSearchConsoleProperty(QStringLiteral("sc-domain:example.com"));
        const SiteScope domainUnicode = SiteScope::ofSearchConsoleProperty(QStringLiteral("sc-domain:пример.рф"));
        QTest::newRow("domain: the domain, http") << domain << "http://example.com/a" << true;
        QTest::newRow("domain: www, https") << domain << "https://www.example.com/a" << true;
        QTest::newRow("domain: deep subdomain") << domain << "https://a.b.example.com/" << true;
        QTest::newRow("domain: with a port") << domain << "https://example.com:8443/" << true;
        QTest::newRow("domain: look-alike suffix") << domain << "https://badexample.com/" << false;
        QTest::newRow("domain: another domain") << domain << "https://example.org/" << false;
        QTest::newRow("domain: Unicode domain, punycode row")
            << domainUnicode << "https://www.xn--e1afmkfd.xn--p1ai/" << true;
        QTest::newRow("domain: not a URL") << domain << "example.com" << false;
    }
    void contains()
    {
        QFETCH(SiteScope, site);
        QFETCH(QString, page);
        QFETCH(bool, onSite);
        QCOMPARE(site.contains(page), onSite);
    }

    // Without a chosen site nothing is held back; the site keeps the
    // spelling the user chose it by, for the messages.
    void noSiteAndNames()
    {
        QVERIFY(SiteScope().contains(QStringLiteral("anything")));
        QVERIFY(SiteScope::ofHost(QString()).coversEverything());
        QVERIFY(SiteScope::ofYandexHostId(QStringLiteral("h")).coversEverything());
        QCOMPARE(SiteScope::ofYandexHostId(QStringLiteral("http:shop.example.org:80")).name(),
                 QStringLiteral("http:shop.example.org:80"));
        QCOMPARE(SiteScope::ofSearchConsoleProperty(QStringLiteral("sc-domain:example.com")).name(),
                 QStringLiteral("sc-domain:example.com"));
    }
};

QTEST_GUILESS_MAIN(SiteScopeTest)
#include "tst_sitescope.moc"
