#include "services/yandex_metrika/YandexMetrikaDescriptor.h"

#include "app/SimulatorPrefixes.h"
#include "services/ServiceColumns.h"

namespace veltrano {

const ServiceDescriptor &yandexMetrikaDescriptor()
{
    using namespace columns;
    static const OAuthApplication application{QLatin1String("Yandex Metrika"), OAuthApplication::Host::YandexOAuth,
                                              QLatin1String("/authorize"),     QLatin1String("/token"),
                                              &Endpoints::ymClientId,          &Endpoints::ymClientSecret,
                                              QLatin1String(
                                                  "Register an application at https://oauth.yandex.com/client/new "
                                                  "(\"For API access or debugging\" or \"Web services\"). "
                                                  "Redirect URI: %1. Data access: Yandex.Metrica, "
                                                  "\"Read statistics and settings of all counters\" (metrika:read). "
                                                  "Client ID and Client secret are 32 hexadecimal digits each.")};
    static const ServiceDescriptor descriptor{
        ServiceId::YandexMetrika,
        QLatin1String("Yandex Metrika"),
        QLatin1String("Yandex Metrika - HTTP Code: "),
        QLatin1String("tsURLsM"),
        QLatin1String("ListView5"),
        QLatin1String("export_ym.csv"),
        {QStringLiteral("URL"), QStringLiteral("Visits"), QStringLiteral("Users"), QStringLiteral("Bounce Rate"),
         QStringLiteral("Deep View"), QStringLiteral("Time on Page")},
        {col("URL", L, 400, SortRule::Url), col("Visits", R, 50, SortRule::WholeNumber),
         col("Users", R, 50, SortRule::LocaleText),
         col("Bounce Rate", R, 75, SortRule::LocaleText, CellDrawing::PercentBar),
         col("Deep View", R, 70, SortRule::LocaleText), col("Time on Page", C, 80, SortRule::LocaleText)},
        ChartRule::traffic(1),
        false,
        settings::YandexMetrikaTokens,
        QLatin1String("YandexMetrika"),
        {{SignInTarget::YandexMetrika, &application, QLatin1String(""), settings::YandexMetrikaTokens,
          QLatin1String(""), QLatin1String("")}},
        {settings::YandexMetrikaTokens},
        PeriodBinding::Metrika,
        simprefix::YandexMetrikaApi,
    };
    return descriptor;
}

} // namespace veltrano
