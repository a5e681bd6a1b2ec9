#include "services/search_console/GoogleTrends.h"

#include "app/VeltranoError.h"
#include "net/FormEncoding.h"
#include "net/JsonDocument.h"
#include "net/ServiceAnswer.h"

#include <cmath>

namespace veltrano {

GoogleTrends::GoogleTrends(ServiceExchange &exchange, QString serviceUrl)
    : m_exchange(exchange), m_serviceUrl(std::move(serviceUrl))
{
}

QString GoogleTrends::requestUrl(const QString &query) const
{
    return m_serviceUrl + QStringLiteral("?query=") + formEncoded(query) + QStringLiteral("&lang=us");
}

std::optional<AreaChartData> GoogleTrends::fetch(const QString &query)
{
    const ExchangeResult answer = m_exchange.get(kLogLabel, requestUrl(query), {});
    if (answer.body.isEmpty() && answer.status >= 200 && answer.status < 300)
        return std::nullopt;
    return read(query, answer);
}

AreaChartData GoogleTrends::read(const QString &query, const ExchangeResult &answer)
{
    const JsonDocument doc = serviceanswer::parseObject(kServiceName, answer);
    const JsonValue &list = serviceanswer::read(answer, [&]() -> const JsonValue & {
        const JsonValue &data = doc.root().requireMember("data");
        if (!data.isArray())
            throw valueNotFound(QStringLiteral("data"));
        return data;
    });

    AreaChartData chart;
    chart.title = QStringLiteral("Google Trends for \"") + query +
                  (list.size() > 0 ? QStringLiteral("\" (last 5 years)") : QStringLiteral("\" (No data)"));
    chart.points.reserve(size_t(list.size()));
    for (const JsonValue &element : list) {
        const JsonValue *date = element.member("date");
        const JsonValue *value = element.member("value");
        if (!date) {
            chart.error = valueNotFound(QStringLiteral("date")).message();
            break;
        }
        if (!value) {
            chart.error = valueNotFound(QStringLiteral("value")).message();
            break;
        }
        bool ok = false;
        const double number = value->isNumber() ? value->toDouble(&ok) : 0;
        if (!ok || number != std::floor(number) || std::fabs(number) > 9.0e15) {
            chart.error = QStringLiteral("'%1' is not a valid integer value").arg(value->text());
            break;
        }
        chart.points.push_back({date->text(), qint64(number)});
    }
    return chart;
}

} // namespace veltrano
