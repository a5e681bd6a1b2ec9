#pragma once

#include "app/ServiceDescriptor.h"
#include "services/search_console/SearchConsoleInspectionCheck.h"
#include "services/search_console/SearchConsolePerformanceCheck.h"
#include "services/search_console/SearchConsoleSiteCheck.h"

#include <QString>

namespace veltrano {

class CheckContext;
class GoogleApiClient;
class ReportTable;
class ReportingPeriod;
struct SearchConsoleProperty;

// The three checks of the Search Console report as every front end starts
// them: "Check GSC" (per row, over the Google period), "URL Inspection API"
// (per row, today) and "Check GSC (whole site)" (the property's page
// report). The two period checks refuse a period that is turned round or
// ends after today before any request, for Search Analytics has no data
// after today.
class SearchConsoleChecks final {
public:
    enum class Kind { Performance, Inspection, WholeSite };
    static constexpr Kind AllKinds[] = {Kind::Performance, Kind::Inspection, Kind::WholeSite};

    SearchConsoleChecks(GoogleApiClient &client, const ReportingPeriod &googlePeriod);

    // The check's name in the check menu and the saved row states.
    static QString name(Kind kind);
    // How the pie counts the report after the check.
    static ChartRule chart(Kind kind);
    // Why the Google period cannot be sent, or empty text.
    QString periodRefusal() const;

    // property: nullptr when none is chosen (the user is told); token:
    // nullptr when no account is selected (the check ends with an error).
    void run(Kind kind, CheckContext &context, ReportTable &table, const SearchConsoleProperty *property,
             const QString *token);

private:
    const ReportingPeriod &m_period;
    SearchConsolePerformanceCheck m_performance;
    SearchConsoleInspectionCheck m_inspection;
    SearchConsoleSiteCheck m_site;
};

} // namespace veltrano
