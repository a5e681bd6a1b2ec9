#include "services/yandex_metrika/YandexSearchPhrases.h"

#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"

namespace veltrano {

const QStringList &YandexSearchPhrases::columnCaptions()
{
    static const QStringList captions{QStringLiteral("Query"),       QStringLiteral("Visits"),
                                      QStringLiteral("Users"),       QStringLiteral("Bounce Rate"),
                                      QStringLiteral("Page Depth"),  QStringLiteral("Avg Visit Duration Seconds")};
    return captions;
}

namespace {

void appendQuoted(QString &out, const QString &text)
{
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"': out += QStringLiteral("\\\""); break;
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

void appendJson(QString &out, const JsonValue &value)
{
    switch (value.type()) {
    case JsonValue::Type::Null: out += QStringLiteral("null"); break;
    case JsonValue::Type::Bool: out += value.toBool() ? QStringLiteral("true") : QStringLiteral("false"); break;
    case JsonValue::Type::Number: out += QString::fromLatin1(value.numberToken().toByteArray()); break;
    case JsonValue::Type::String: appendQuoted(out, value.text()); break;
    case JsonValue::Type::Array:
    case JsonValue::Type::Object: {
        // Nesting is bounded by the reader's depth limit.
        const bool object = value.isObject();
        out += object ? QLatin1Char('{') : QLatin1Char('[');
        bool first = true;
        for (const JsonValue &child : value) {
            if (!first)
                out += QLatin1Char(',');
            first = false;
            if (object) {
                appendQuoted(out, child.key());
                out += QLatin1Char(':');
            }
            appendJson(out, child);
        }
        out += object ? QLatin1Char('}') : QLatin1Char(']');
        break;
    }
    }
}

bool numberAt(const JsonValue &metrics, int k, double &value)
{
    if (k >= metrics.size() || !metrics.at(k).isNumber())
        return false;
    bool ok = false;
    value = metrics.at(k).toDouble(&ok);
    return ok;
}

} // namespace

QString YandexSearchPhrases::jsonText(const JsonValue &value)
{
    QString out;
    appendJson(out, value);
    return out;
}

QString YandexSearchPhrases::url(const QString &apiHost, const QString &firstDay, const QString &lastDay,
                                 const QString &counterId, qint64 offset)
{
    return apiHost + QStringLiteral("/stat/v1/data?date1=") + firstDay + QStringLiteral("&date2=") + lastDay +
           QStringLiteral("&id=") + counterId + QStringLiteral("&preset=sources_search_phrases&limit=") +
           QString::number(kPageSize) + QStringLiteral("&offset=") + QString::number(offset);
}

QStringList YandexSearchPhrases::readPhrase(const JsonValue &element)
{
    if (!element.isObject())
        return {};
    const JsonValue *dimensions = element.member("dimensions");
    const JsonValue *metrics = element.member("metrics");
    if (!dimensions || !dimensions->isArray() || dimensions->size() == 0 || !metrics || !metrics->isArray())
        return {};
    const JsonValue *name = dimensions->at(0).member("name");
    if (!name || !(name->isString() || name->isNumber()))
        return {};
    double values[5] = {};
    for (int k = 0; k < 5; ++k) {
        if (!numberAt(*metrics, k, values[k]))
            return {};
    }
    return {name->text(),
            metrics->at(0).text(),
            metrics->at(1).text(),
            NumberText::fixed(values[2], 2),
            NumberText::fixed(values[3], 2),
            NumberText::fixed(values[4], 0)};
}

YandexSearchPhrases::Page YandexSearchPhrases::readPage(const ExchangeResult &answer)
{
    const JsonDocument doc = serviceanswer::parseObject(YandexMetrikaClient::kServiceName, answer);
    if (const auto error = YandexMetrikaClient::serviceError(doc, answer.status))
        throw VeltranoError(QStringLiteral("Yandex Metrika Error - ") + YandexMetrikaClient::codeText(*error));
    const JsonValue &root = doc.root();
    const JsonValue &totalRows = root.requireMember("total_rows");
    bool ok = false;
    const double total = totalRows.toDouble(&ok);
    if (!ok || total < 0 || total != double(qint64(total)))
        throw VeltranoError(QStringLiteral("'%1' is not a valid integer value").arg(totalRows.text()));
    Page page;
    page.totalRows = qint64(total);
    const JsonValue &data = root.requireMember("data");
    page.received = data.size();
    page.rows.reserve(size_t(data.size()));
    for (const JsonValue &element : data) {
        QStringList row = readPhrase(element);
        if (row.isEmpty())
            page.unreadable << jsonText(element);
        else
            page.rows.push_back(std::move(row));
    }
    return page;
}

std::vector<QStringList> YandexSearchPhrases::fetch(YandexMetrikaClient &client, const QString &token,
                                                    const QString &counterId, const QString &firstDay,
                                                    const QString &lastDay)
{
    RequestTrace &trace = client.exchange().trace();
    std::vector<QStringList> rows;
    qint64 received = 0;
    for (;;) {
        const ExchangeResult answer =
            client.request(token, url(client.apiHost(), firstDay, lastDay, counterId, received + 1));
        trace.add(answer.text);
        Page page = readPage(answer);
        for (const QString &element : page.unreadable)
            trace.add(element);
        if (rows.empty())
            rows = std::move(page.rows);
        else
            rows.insert(rows.end(), std::make_move_iterator(page.rows.begin()),
                        std::make_move_iterator(page.rows.end()));
        received += page.received;
        if (page.received == 0 || received >= page.totalRows)
            break;
    }
    return rows;
}

} // namespace veltrano
