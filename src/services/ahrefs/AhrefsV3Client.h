#pragma once

#include "app/QuotaSpent.h"
#include "net/ServiceExchange.h"

#include <QDate>

#include <QLatin1String>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace veltrano {

class JsonDocument;

// One request to Ahrefs API v3: the endpoint below /v3 ("site-explorer/
// crawled-pages") and its query parameters in the order they are sent.
struct AhrefsV3Query {
    QString endpoint;
    QList<QPair<QString, QString>> params;
};

// Requests to Ahrefs API v3. The API key travels only in the
// "Authorization: Bearer <key>" header, so no address the program sends,
// writes to the trace or logs holds it. Every parameter value is
// percent-encoded (UTF-8): a target with "&", "#" or Cyrillic letters asks
// about that very address.
class AhrefsV3Client final {
public:
    static constexpr QLatin1String kLogLabel{"Ahrefs - HTTP Code: "};
    // The header in which each answer states the API units it costs.
    static constexpr QLatin1String kUnitsCostHeader{"x-api-units-cost-total"};

    AhrefsV3Client(ServiceExchange &exchange, QString apiHost);

    // "<host>/v3/<endpoint>?<name>=<value>&...".
    QString url(const AhrefsV3Query &query) const;
    static QString bearerHeader(const QString &key);

    // Why a key cannot be sent, or empty when it can: a line break or another
    // control character would end the header line and start another one.
    static QString keyProblem(const QString &key);

    // One GET of the query and the answer, whatever its status; the trace and
    // the log get their lines as for every service request unless silent.
    ExchangeResult request(const AhrefsV3Query &query, const QString &key, ExchangeOptions options = {});
    void writeStatus(const ExchangeResult &answer);

    // The service's own words: the text of the answer's "error" member when
    // the answer is an object with a non-empty one, empty otherwise.
    static QString serviceError(const JsonDocument &answer);
    // "<error> (HTTP <code> <reason>)": an error as the user reads it.
    static QString errorText(const QString &serviceError, const ExchangeResult &answer);

    // The units an answer states it costs; nothing when it states none or
    // writes something that is not a number.
    static std::optional<double> unitsCost(const ExchangeResult &answer);

    // The free "subscription-info/limits-and-usage" request.
    static AhrefsV3Query limitsQuery();
    // "Ahrefs API units: <used> of <limit> used this month by this key
    // (resets <date>)" from its answer, "unlimited" for a null limit; the
    // service's error or "no usable answer" otherwise.
    static QString limitsText(const ExchangeResult &answer);
    // The day the key's monthly units renew ("usage_reset_date"), when the
    // answer states one.
    static QDate usageResetDate(const ExchangeResult &answer);

    // A 403 saying the key's units are spent: every further request of the
    // month would be refused alike. The units return on resetDate when the
    // limits answer stated it, else on the first of next month (UTC).
    static std::optional<QuotaSpent> unitsSpent(const ExchangeResult &answer, const QDate &resetDate,
                                                const QDateTime &nowUtc);

    ServiceExchange &exchange() { return m_exchange; }

private:
    ServiceExchange &m_exchange;
    QString m_apiHost;
};

// The API units the answers of one run cost, for the line logged at its end.
class AhrefsUnitsTally final {
public:
    void add(const ExchangeResult &answer);
    double total() const { return m_total; }
    int answers() const { return m_answers; }
    // "Ahrefs API units spent: <total> (<answers> answers)".
    QString logLine() const;

private:
    double m_total = 0;
    int m_answers = 0;
};

} // namespace veltrano
