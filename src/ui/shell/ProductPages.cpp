#include "ui/shell/ProductPages.h"

namespace veltrano {

ProductPages::ProductPages(const Endpoints &endpoints, const QLocale &systemLocale)
    : m_russian(isRussian(systemLocale)), m_homePage(endpoints.homePage), m_homePageRu(endpoints.homePageRu),
      m_newsPage(endpoints.newsPage), m_newsPageRu(endpoints.newsPageRu), m_makerSite(endpoints.makerSite)
{
}

bool ProductPages::isRussian(const QLocale &locale)
{
    return locale.language() == QLocale::Russian && locale.territory() == QLocale::Russia;
}

QString ProductPages::choose(const QString &international, const QString &russian) const
{
    if (m_russian && !russian.isEmpty())
        return russian;
    return international;
}

QString ProductPages::homePage() const
{
    return choose(m_homePage, m_homePageRu);
}

QString ProductPages::newsPage() const
{
    return choose(m_newsPage, m_newsPageRu);
}

} // namespace veltrano
