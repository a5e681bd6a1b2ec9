#pragma once

#include "app/Endpoints.h"

#include <QLocale>
#include <QString>

namespace veltrano {

// The product's own pages: users whose system locale is Russian (Russia) get
// the Russian-language home and news pages, everyone else the international
// ones. A Russian address left empty in the build falls back to the
// international one.
class ProductPages final {
public:
    ProductPages(const Endpoints &endpoints, const QLocale &systemLocale);

    static bool isRussian(const QLocale &locale);

    QString homePage() const;
    QString newsPage() const;
    QString makerSite() const { return m_makerSite; }

private:
    QString choose(const QString &international, const QString &russian) const;

    bool m_russian;
    QString m_homePage;
    QString m_homePageRu;
    QString m_newsPage;
    QString m_newsPageRu;
    QString m_makerSite;
};

} // namespace veltrano
