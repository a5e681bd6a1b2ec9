#pragma once

#include "services/ahrefs/AhrefsClient.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace veltrano {

class CheckContext;
class ReportTable;

// "Check URL" on the Ahrefs report: asks the "pages" table about every row's
// URL (exact mode, one row) and writes the row's six cells: "Indexed", the
// Ahrefs rank, the HTTP code Ahrefs saw, the internal and external link
// counts and the title.
//
// - A page found: "Yes" and the five texts of the first page object.
// - No page ("pages": []): "No" and five empty cells.
// - No usable answer (not JSON, no "pages" list): six empty cells, for an
//   unknown is not a "No", and the line "Ahrefs Error Get Object Data: i/n".
// - The service's error ({"error": "..."}, a refused token or spent units):
//   the check ends with "Ahrefs Error: <text>", since every further row
//   would get the same answer; the row keeps its cells.
class AhrefsUrlCheck final {
public:
    static constexpr int kColumns = 6;

    explicit AhrefsUrlCheck(AhrefsClient &client);

    // What the check needs from the program: the texts of the token and site
    // fields, which must both be filled, and the token as saved in the
    // settings file, read once per check.
    struct Inputs {
        QString tokenField;
        QString site;
        std::function<QString()> savedToken;
    };

    void run(CheckContext &context, ReportTable &table, const Inputs &inputs);

    // The request for one report row.
    static AhrefsQuery query(const QString &url);

    // How one answer reads for its row.
    struct RowAnswer {
        enum class Kind { Found, NotFound, Unusable, ServiceError };
        Kind kind = Kind::Unusable;
        QStringList cells; // always kColumns texts, except for ServiceError
        QString error;     // the service's words (ServiceError)
    };
    // A page object that lacks one of the five members raises VeltranoError
    // "Value '<name>' not found".
    static RowAnswer readAnswer(const ExchangeResult &answer);

    static QString fillInFieldsText() { return QStringLiteral("Please enter the Ahrefs Token or Site Host"); }

private:
    AhrefsClient &m_client;
};

} // namespace veltrano
