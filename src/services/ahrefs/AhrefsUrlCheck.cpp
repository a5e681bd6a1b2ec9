#include "services/ahrefs/AhrefsUrlCheck.h"

#include "app/CheckContext.h"
#include "app/UiPorts.h"
#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/RequestTrace.h"
#include "net/ServiceAnswer.h"
#include "reports/ReportTable.h"
#include "services/ahrefs/AhrefsDescriptor.h"
#include "services/shared/SiteRows.h"

namespace veltrano {

AhrefsUrlCheck::AhrefsUrlCheck(AhrefsClient &client) : m_client(client) {}

AhrefsQuery AhrefsUrlCheck::query(const QString &url)
{
    return AhrefsQuery{QStringLiteral("pages"), QString(), 1, url, QStringLiteral("exact")};
}

AhrefsUrlCheck::RowAnswer AhrefsUrlCheck::readAnswer(const ExchangeResult &answer)
{
    RowAnswer read;
    const JsonDocument doc = JsonDocument::parse(answer.body);
    read.error = AhrefsClient::serviceError(doc);
    if (!read.error.isEmpty()) {
        read.kind = RowAnswer::Kind::ServiceError;
        return read;
    }
    const JsonValue *pages = doc.isValid() ? doc.root().member("pages") : nullptr;
    if (!pages || !pages->isArray()) {
        read.kind = RowAnswer::Kind::Unusable;
        read.cells = QStringList(kColumns, QString());
        return read;
    }
    if (pages->size() == 0) {
        read.kind = RowAnswer::Kind::NotFound;
        read.cells = QStringList{QStringLiteral("No")} + QStringList(kColumns - 1, QString());
        return read;
    }
    // The request asks for one page; should the service send more, the
    // first one is the page asked about.
    const JsonValue &page = pages->at(0);
    read.kind = RowAnswer::Kind::Found;
    read.cells = QStringList{QStringLiteral("Yes"),
                             page.memberText("ahrefs_rank"),
                             page.memberText("http_code"),
                             page.memberText("links_internal"),
                             page.memberText("links_external"),
                             page.memberText("title")};
    return read;
}

void AhrefsUrlCheck::run(CheckContext &context, ReportTable &table, const Inputs &inputs)
{
    if (inputs.tokenField.isEmpty() || inputs.site.isEmpty()) {
        context.prompt().show(MessagePrompt::Icon::None, applicationErrorTitle(), fillInFieldsText());
        return;
    }
    const int rows = table.rowCount();
    if (rows == 0)
        return;

    RequestTrace &trace = m_client.exchange().trace();
    trace.clear();
    const QString token = inputs.savedToken ? inputs.savedToken() : QString();
    // A continued run takes only the rows the last one did not answer.
    const std::vector<int> taken = everyRowToCheck(context, table);
    context.setProgressMaximum(int(taken.size()));

    context.forEachRow(int(taken.size()), kAhrefsRequests, [&](int index) {
        const int row = taken[size_t(index)];
        return RowWork::of(
            [this, &trace, token, url = table.url(row)] {
                ExchangeResult answer = m_client.request(query(url), token);
                serviceanswer::trace(trace, answer);
                return answer;
            },
            [&context, &table, row, rows](const ExchangeResult &answer) {
                const RowAnswer read = readAnswer(answer);
                switch (read.kind) {
                case RowAnswer::Kind::ServiceError:
                    context.prompt().show(MessagePrompt::Icon::Warning, applicationErrorTitle(),
                                          QStringLiteral("Ahrefs Error: ") + read.error);
                    return CheckContext::RowStep::EndCheck;
                case RowAnswer::Kind::Unusable:
                    table.setRowCells(row, read.cells);
                    context.addToLog(QStringLiteral("Ahrefs Error Get Object Data: %1/%2").arg(row + 1).arg(rows));
                    context.markRowFailed();
                    break;
                case RowAnswer::Kind::NotFound:
                case RowAnswer::Kind::Found:
                    table.setRowCells(row, read.cells);
                    break;
                }
                return CheckContext::RowStep::Next;
            });
    });
}

} // namespace veltrano
