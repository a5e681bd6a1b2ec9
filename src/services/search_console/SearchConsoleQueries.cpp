#include "services/search_console/SearchConsoleQueries.h"

#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "net/NumberText.h"
#include "services/search_console/GoogleApiClient.h"

namespace veltrano {

const QStringList &SearchConsoleQueries::columnCaptions()
{
    static const QStringList captions{QStringLiteral("Query"),  QStringLiteral("URL"),
                                      QStringLiteral("Clicks"), QStringLiteral("Impressions"),
                                      QStringLiteral("CTR"),    QStringLiteral("Avg Position")};
    return captions;
}

bool SearchConsoleQueries::rowFromElement(const JsonValue &element, QStringList &row)
{
    const JsonValue *keys = element.member("keys");
    if (!keys || !keys->isArray() || keys->size() < 2 || !keys->at(0).isString() || !keys->at(1).isString())
        return false;
    const JsonValue *clicks = element.member("clicks");
    const JsonValue *impressions = element.member("impressions");
    const JsonValue *ctr = element.member("ctr");
    const JsonValue *position = element.member("position");
    for (const JsonValue *figure : {clicks, impressions, ctr, position}) {
        if (!figure || !figure->isNumber())
            return false;
    }
    bool ctrOk = false;
    bool positionOk = false;
    const double ctrValue = ctr->toDouble(&ctrOk);
    const double positionValue = position->toDouble(&positionOk);
    if (!ctrOk || !positionOk)
        return false;

    row = QStringList{keys->at(0).text(),
                      keys->at(1).text(),
                      clicks->text(),
                      impressions->text(),
                      NumberText::fixed(ctrValue, 2),
                      NumberText::fixed(positionValue, 0)};
    return true;
}

int SearchConsoleQueries::appendRows(const JsonValue &rows, int firstPosition, Result &result)
{
    result.rows.reserve(result.rows.size() + size_t(rows.size()));
    int position = firstPosition;
    QStringList row;
    for (const JsonValue &element : rows) {
        if (rowFromElement(element, row))
            result.rows.push_back(std::move(row));
        else
            result.unreadable.push_back(position);
        ++position;
    }
    result.elements += int(rows.size());
    return int(rows.size());
}

SearchConsoleQueries::Result SearchConsoleQueries::fetch(GoogleApiClient &client, const QString &token,
                                                         const QString &propertyId, const ReportingPeriod &period)
{
    Result result;
    RequestTrace &trace = client.exchange().trace();
    for (int startRow = 0; startRow < kMaxRows; startRow += GoogleApiClient::kQueryRowLimit) {
        const ExchangeResult answer = client.queryAllQueries(token, propertyId, period, startRow);
        ++result.requests;
        trace.add(answer.text);
        const JsonDocument doc = serviceanswer::parseObject(GoogleApiClient::kServiceName, answer);
        if (std::optional<GoogleError> error = GoogleError::of(answer, doc)) {
            result.rows.clear();
            result.unreadable.clear();
            result.error = std::move(error);
            return result;
        }
        // No "rows": no (more) data in the period.
        const JsonValue *rows = doc.root().member("rows");
        if (!rows)
            break;
        if (!rows->isArray()) {
            result.rows.clear();
            result.unreadable.clear();
            result.error =
                GoogleError{QString::number(answer.status), QString(), valueNotFound(QStringLiteral("rows")).message()};
            return result;
        }
        if (appendRows(*rows, startRow + 1, result) < GoogleApiClient::kQueryRowLimit)
            break;
    }
    return result;
}

} // namespace veltrano
