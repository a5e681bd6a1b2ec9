#include "services/yandex_metrika/YandexTrafficCheck.h"

#include "app/CheckContext.h"
#include "app/ReportingPeriod.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"
#include "net/RequestTrace.h"
#include "net/SiteScope.h"
#include "reports/ReportTable.h"
#include "services/shared/SiteRows.h"
#include "services/yandex_metrika/YandexMetrikaDescriptor.h"

#include <QUrl>

namespace veltrano {

namespace {

const QLatin1String kMetrics{"ym:s:visits,ym:s:users,ym:s:bounceRate,ym:s:pageDepth,ym:s:avgVisitDurationSeconds"};

bool endsTheCheck(int code)
{
    return code == 401 || code == 403 || code == 429;
}

// The first element of each totals entry as the number it must be.
bool firstNumber(const JsonValue &entry, const JsonValue *&number, double &value)
{
    if (!entry.isArray() || entry.size() == 0 || !entry.at(0).isNumber())
        return false;
    bool ok = false;
    value = entry.at(0).toDouble(&ok);
    number = &entry.at(0);
    return ok;
}

} // namespace

YandexTrafficCheck::YandexTrafficCheck(YandexMetrikaClient &client) : m_client(client) {}

QString YandexTrafficCheck::filter(const QString &pageUrl)
{
    QString quoted;
    quoted.reserve(pageUrl.size() + 4);
    for (const QChar c : pageUrl) {
        if (c == QLatin1Char('\'') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return QStringLiteral("EXISTS(ym:pv:URL=*'") + quoted + QStringLiteral("')");
}

QString YandexTrafficCheck::url(const QString &apiHost, const QString &firstDay, const QString &lastDay,
                                const QString &counterId, const QString &pageUrl)
{
    return apiHost + QStringLiteral("/stat/v1/data/bytime?date1=") + firstDay + QStringLiteral("&date2=") + lastDay +
           QStringLiteral("&ids=") + counterId + QStringLiteral("&metrics=") + kMetrics + QStringLiteral("&filters=") +
           QString::fromLatin1(QUrl::toPercentEncoding(filter(pageUrl))) + QStringLiteral("&group=all");
}

YandexTrafficCheck::RowAnswer YandexTrafficCheck::readAnswer(const ExchangeResult &answer)
{
    RowAnswer read;
    read.cells = QStringList(kColumns, QString());
    const JsonDocument doc = JsonDocument::parse(answer.body);
    if (const auto error = YandexMetrikaClient::serviceError(doc, answer.status)) {
        read.error = YandexMetrikaClient::codeText(*error);
        read.kind = endsTheCheck(error->code) ? RowAnswer::Kind::EndCheck : RowAnswer::Kind::Unusable;
        return read;
    }
    const JsonValue *totals = doc.isValid() && doc.root().isObject() ? doc.root().member("totals") : nullptr;
    if (!totals || !totals->isArray() || totals->size() < kColumns)
        return read;

    QStringList cells;
    for (int k = 0; k < kColumns; ++k) {
        const JsonValue *number = nullptr;
        double value = 0;
        if (!firstNumber(totals->at(k), number, value))
            return read;
        switch (k) {
        case 0:
        case 1:
            cells << number->text();
            break;
        case 2:
            cells << NumberText::fixed(value, 1);
            break;
        case 3:
            cells << NumberText::fixed(value, 2);
            break;
        default:
            cells << NumberText::minutesSeconds(value);
            break;
        }
    }
    read.kind = RowAnswer::Kind::Filled;
    read.cells = cells;
    return read;
}

void YandexTrafficCheck::runOverPeriod(CheckContext &context, ReportTable &table, Inputs inputs,
                                       const ReportingPeriod &period)
{
    // Metrika answers a period reaching past today with the days it has.
    if (!inputs.counterId.isEmpty() && table.rowCount() > 0) {
        if (const QString refusal =
                period.refusal(ReportingPeriod::FutureDays::Allowed, QStringLiteral("Yandex Metrika"));
            !refusal.isEmpty())
            throw VeltranoError(refusal);
    }
    inputs.period = [&period] { return std::pair{period.fromText(), period.toText()}; };
    run(context, table, inputs);
}

void YandexTrafficCheck::run(CheckContext &context, ReportTable &table, const Inputs &inputs)
{
    if (inputs.counterId.isEmpty()) {
        context.prompt().show(MessagePrompt::Icon::None, applicationErrorTitle(), selectCounterText());
        return;
    }
    const int rows = table.rowCount();
    if (rows == 0)
        return;
    if (!inputs.savedToken)
        throw VeltranoError(QStringLiteral("Please select Token from list to connect"));

    const std::vector<int> onSite = rowsOnSite(context, table, SiteScope::ofHost(inputs.counterSite));

    m_client.exchange().trace().clear();
    context.setProgressMaximum(int(onSite.size()));
    const QString token = inputs.savedToken();

    context.forEachRow(int(onSite.size()), kMetrikaRequests, [&](int index) {
        const int row = onSite[size_t(index)];
        const auto [firstDay, lastDay] = inputs.period();
        const QString command = url(m_client.apiHost(), firstDay, lastDay, inputs.counterId, table.url(row));
        return RowWork::of(
            [this, token, command] { return m_client.request(token, command); },
            [&context, &table, row, rows](const ExchangeResult &answer) {
                const RowAnswer read = readAnswer(answer);
                switch (read.kind) {
                case RowAnswer::Kind::EndCheck:
                    context.prompt().show(MessagePrompt::Icon::Warning, applicationErrorTitle(),
                                          QStringLiteral("Yandex Metrika Error - ") + read.error);
                    return CheckContext::RowStep::EndCheck;
                case RowAnswer::Kind::Unusable: {
                    QString line = QStringLiteral("Yandex Metrika Error Get Object Data: %1/%2").arg(row + 1).arg(rows);
                    if (!read.error.isEmpty())
                        line += QStringLiteral(" - ") + read.error;
                    context.addToLog(line);
                    table.clearRowCells(row);
                    context.markRowFailed();
                    break;
                }
                case RowAnswer::Kind::Filled:
                    table.setRowCells(row, read.cells);
                    break;
                }
                return CheckContext::RowStep::Next;
            });
    });
}

} // namespace veltrano
