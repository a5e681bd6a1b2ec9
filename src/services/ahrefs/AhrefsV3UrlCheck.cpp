#include "services/ahrefs/AhrefsV3UrlCheck.h"

#include "app/ActivityLog.h"
#include "app/CheckContext.h"
#include "app/QuotaSpent.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "reports/ReportTable.h"
#include "services/ahrefs/AhrefsDescriptor.h"
#include "services/shared/SiteRows.h"

namespace veltrano {

namespace {

// The statuses after which every further row would be refused alike.
bool endsTheCheck(int status)
{
    return status == 401 || status == 403 || status == 429;
}

QString memberText(const JsonValue &object, const char *name)
{
    const JsonValue *value = object.member(name);
    return value ? value->text() : QString();
}

} // namespace

AhrefsV3UrlCheck::AhrefsV3UrlCheck(AhrefsV3Client &client) : m_client(client) {}

QStringList AhrefsV3UrlCheck::captions()
{
    return {QString(),
            QString(),
            QStringLiteral("UR"),
            QString(),
            QStringLiteral("Ref. Domains"),
            QStringLiteral("Backlinks"),
            QString()};
}

AhrefsV3Query AhrefsV3UrlCheck::pageQuery(const QString &url)
{
    return {QStringLiteral("site-explorer/crawled-pages"),
            {{QStringLiteral("select"), QStringLiteral("url,url_rating,http_code,title")},
             {QStringLiteral("target"), url},
             {QStringLiteral("mode"), QStringLiteral("exact")},
             {QStringLiteral("limit"), QStringLiteral("1")},
             {QStringLiteral("output"), QStringLiteral("json")}}};
}

AhrefsV3Query AhrefsV3UrlCheck::linksQuery(const QString &url, const QDate &day)
{
    return {QStringLiteral("site-explorer/backlinks-stats"),
            {{QStringLiteral("target"), url},
             {QStringLiteral("mode"), QStringLiteral("exact")},
             {QStringLiteral("date"), day.toString(QStringLiteral("yyyy-MM-dd"))},
             {QStringLiteral("output"), QStringLiteral("json")}}};
}

AhrefsV3UrlCheck::RowAnswer AhrefsV3UrlCheck::errorAnswer(const QString &serviceError, const ExchangeResult &answer)
{
    RowAnswer read;
    read.kind = endsTheCheck(answer.status) ? RowAnswer::Kind::ServiceError : RowAnswer::Kind::RowError;
    read.error = AhrefsV3Client::errorText(serviceError, answer);
    return read;
}

AhrefsV3UrlCheck::RowAnswer AhrefsV3UrlCheck::readPage(const ExchangeResult &answer)
{
    const JsonDocument doc = JsonDocument::parse(answer.body);
    if (const QString error = AhrefsV3Client::serviceError(doc); !error.isEmpty())
        return errorAnswer(error, answer);
    RowAnswer read;
    const JsonValue *pages = doc.isValid() && doc.root().isObject() ? doc.root().member("pages") : nullptr;
    if (answer.status != 200 || !pages || !pages->isArray()) {
        // A refusal without the service's words still ends the check: the
        // next row would be refused alike.
        if (endsTheCheck(answer.status))
            return errorAnswer(serviceanswer::statusText(answer), answer);
        read.kind = RowAnswer::Kind::Unusable;
        read.cells = QStringList(kColumns, QString());
        return read;
    }
    if (pages->size() == 0 || !pages->at(0).isObject()) {
        read.kind = pages->size() == 0 ? RowAnswer::Kind::NotFound : RowAnswer::Kind::Unusable;
        read.cells = QStringList(kColumns, QString());
        if (read.kind == RowAnswer::Kind::NotFound)
            read.cells[0] = QStringLiteral("No");
        return read;
    }
    // One page is asked for; should the service send more, the first is the
    // page asked about. Members the select names may be left out or null
    // (a page without a title): their cells stay empty.
    const JsonValue &page = pages->at(0);
    read.kind = RowAnswer::Kind::Found;
    read.cells = QStringList{
        QStringLiteral("Yes"),    memberText(page, "url_rating"), memberText(page, "http_code"), QString(), QString(),
        memberText(page, "title")};
    return read;
}

AhrefsV3UrlCheck::RowAnswer AhrefsV3UrlCheck::readLinks(const ExchangeResult &answer)
{
    const JsonDocument doc = JsonDocument::parse(answer.body);
    if (const QString error = AhrefsV3Client::serviceError(doc); !error.isEmpty())
        return errorAnswer(error, answer);
    RowAnswer read;
    const JsonValue *metrics = doc.isValid() && doc.root().isObject() ? doc.root().member("metrics") : nullptr;
    if (answer.status != 200 || !metrics || !metrics->isObject()) {
        if (endsTheCheck(answer.status))
            return errorAnswer(serviceanswer::statusText(answer), answer);
        read.kind = RowAnswer::Kind::Unusable;
        return read;
    }
    read.kind = RowAnswer::Kind::Found;
    read.cells = QStringList{memberText(*metrics, "live_refdomains"), memberText(*metrics, "live")};
    return read;
}

void AhrefsV3UrlCheck::run(CheckContext &context, ReportTable &table, const Inputs &inputs)
{
    if (inputs.key.isEmpty()) {
        context.prompt().show(MessagePrompt::Icon::None, applicationErrorTitle(), fillInFieldsText());
        return;
    }
    if (const QString problem = AhrefsV3Client::keyProblem(inputs.key); !problem.isEmpty()) {
        context.prompt().show(MessagePrompt::Icon::Warning, applicationErrorTitle(), problem);
        return;
    }
    const int rows = table.rowCount();
    if (rows == 0)
        return;

    RequestTrace &trace = m_client.exchange().trace();
    trace.clear();
    context.setProgressMaximum(rows);
    const QDate day = m_today();

    // The units are logged however the run ends: completed, ended by the
    // service or cancelled with a request in flight.
    AhrefsUnitsTally tally;
    struct LogUnits {
        CheckContext &context;
        const AhrefsUnitsTally &tally;
        ~LogUnits() { context.addToLog(tally.logLine()); }
    } logUnits{context, tally};

    // The page's answer, and the answer about its links when the page is
    // one Ahrefs has crawled.
    struct PageAnswers {
        ExchangeResult page;
        std::optional<ExchangeResult> links;
    };
    // Units are counted and a spent quota stops the run as each answer is
    // applied, in row order.
    const auto takeUnits = [&](const ExchangeResult &answer) {
        tally.add(answer);
        if (std::optional<QuotaSpent> spent =
                AhrefsV3Client::unitsSpent(answer, inputs.unitsResetDate, QDateTime::currentDateTimeUtc()))
            throw *spent;
    };
    const auto unusable = [&](int row) {
        table.setRowCells(row, QStringList(kColumns, QString()));
        context.addToLog(QStringLiteral("Ahrefs Error Get Object Data: %1/%2").arg(row + 1).arg(rows));
        context.markRowFailed();
    };

    // Every row is Ahrefs' to answer; a continued run takes only the rows
    // the last one did not answer.
    const std::vector<int> taken = everyRowToCheck(context, table);
    context.setProgressMaximum(int(taken.size()));

    context.forEachRow(int(taken.size()), kAhrefsRequests, [&](int index) {
        const int row = taken[size_t(index)];
        const QString url = table.url(row);
        const auto exchange = [this, &trace, key = inputs.key, resetDate = inputs.unitsResetDate, url, day] {
            PageAnswers answers;
            answers.page = m_client.request(pageQuery(url), key);
            serviceanswer::trace(trace, answers.page);
            // With the units spent, or a page Ahrefs does not know, its
            // links are not asked.
            if (AhrefsV3Client::unitsSpent(answers.page, resetDate, QDateTime::currentDateTimeUtc()) ||
                readPage(answers.page).kind != RowAnswer::Kind::Found)
                return answers;
            answers.links = m_client.request(linksQuery(url, day), key);
            serviceanswer::trace(trace, *answers.links);
            return answers;
        };
        return RowWork::of(exchange, [&, row](const PageAnswers &answers) {
            takeUnits(answers.page);
            RowAnswer page = readPage(answers.page);
            if (page.kind == RowAnswer::Kind::Found && answers.links) {
                takeUnits(*answers.links);
                const RowAnswer links = readLinks(*answers.links);
                if (links.kind == RowAnswer::Kind::Found) {
                    page.cells[3] = links.cells[0];
                    page.cells[4] = links.cells[1];
                } else if (links.kind == RowAnswer::Kind::Unusable) {
                    table.setRowCells(row, page.cells);
                    context.addToLog(QStringLiteral("Ahrefs Error Get Object Data: %1/%2").arg(row + 1).arg(rows));
                    context.markRowFailed();
                    return CheckContext::RowStep::Next;
                } else {
                    page = links;
                }
            }
            switch (page.kind) {
            case RowAnswer::Kind::ServiceError:
                context.prompt().show(MessagePrompt::Icon::Warning, applicationErrorTitle(),
                                      QStringLiteral("Ahrefs Error: ") + page.error);
                return CheckContext::RowStep::EndCheck;
            case RowAnswer::Kind::RowError:
                table.clearRowCells(row);
                context.addToLog(QStringLiteral("Ahrefs Error %1/%2: %3").arg(row + 1).arg(rows).arg(page.error));
                context.markRowFailed();
                break;
            case RowAnswer::Kind::Unusable:
                unusable(row);
                break;
            case RowAnswer::Kind::NotFound:
            case RowAnswer::Kind::Found:
                table.setRowCells(row, page.cells);
                break;
            }
            return CheckContext::RowStep::Next;
        });
    });
}

AhrefsV3UrlCheck::UnitsLeft AhrefsV3UrlCheck::readUnitsLeft(AhrefsV3Client &client, const QString &key)
{
    const ExchangeResult answer = client.request(AhrefsV3Client::limitsQuery(), key, ServiceExchange::silent());
    return {AhrefsV3Client::limitsText(answer), AhrefsV3Client::usageResetDate(answer)};
}

void AhrefsV3UrlCheck::runReadingUnits(CheckContext &context, ReportTable &table, Inputs inputs,
                                       const std::function<void(const QString &)> &showUnits)
{
    inputs.unitsResetDate = QDate();
    if (!inputs.key.isEmpty() && table.rowCount() > 0 && AhrefsV3Client::keyProblem(inputs.key).isEmpty()) {
        const UnitsLeft units = readUnitsLeft(m_client, inputs.key);
        inputs.unitsResetDate = units.resetDate;
        if (showUnits)
            showUnits(units.text);
        context.addToLog(units.text);
    }
    run(context, table, inputs);
}

} // namespace veltrano
