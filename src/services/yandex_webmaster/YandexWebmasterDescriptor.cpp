#include "services/yandex_webmaster/YandexWebmasterDescriptor.h"

#include "app/SimulatorPrefixes.h"
#include "services/ServiceColumns.h"

namespace veltrano {

const ServiceDescriptor &yandexWebmasterDescriptor()
{
    using namespace columns;
    static const OAuthApplication application{QLatin1String("Yandex Webmaster"), OAuthApplication::Host::YandexOAuth,
                                              QLatin1String("/authorize"),       QLatin1String("/token"),
                                              &Endpoints::ywmClientId,           &Endpoints::ywmClientSecret,
                                              QLatin1String(
                                                  "Register an application at https://oauth.yandex.com/client/new "
                                                  "(\"For API access or debugging\" or \"Web services\"). "
                                                  "Redirect URI: %1. Data access: Yandex.Webmaster, "
                                                  "\"Get information about the site\" (webmaster:hostinfo) and "
                                                  "\"Add sites, get the status of verification\" (webmaster:verify). "
                                                  "Client ID and Client secret are 32 hexadecimal digits each.")};
    static const ServiceDescriptor descriptor{
        ServiceId::YandexWebmaster,
        QLatin1String("Yandex Webmaster"),
        QLatin1String("Yandex Webmaster - HTTP Code: "),
        QLatin1String("tsURLsD"),
        QLatin1String("ListView4"),
        QLatin1String("export_ywm.csv"),
        {QStringLiteral("URL"), QStringLiteral("Indexed"), QStringLiteral("Title")},
        {col("URL", L, 400, SortRule::Url), col("Indexed", C, 60, SortRule::LocaleText, CellDrawing::StatusBadge),
         col("Title", L, 350, SortRule::LocaleText)},
        ChartRule::matching(1, "Yes"),
        false,
        settings::YandexWebmasterTokens,
        QLatin1String("YandexWM"),
        {{SignInTarget::YandexWebmaster, &application, QLatin1String(""), settings::YandexWebmasterTokens,
          QLatin1String(""), QLatin1String("")}},
        {settings::YandexWebmasterTokens},
        PeriodBinding::None,
        simprefix::YandexWebmasterApi,
    };
    return descriptor;
}

} // namespace veltrano
