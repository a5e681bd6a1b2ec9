#pragma once

#include <QString>

#include <vector>

namespace veltrano {

class CheckContext;
class ReportTable;
class SiteScope;

// The rows a check bound to one site sends: those on the chosen site, in
// table order. Rows of another site are neither sent nor touched, and the
// log gets one line saying how many were held back. When no row is on the
// site the run ends with an error that says so, before anything is sent.
// Of the rows on the site, the run takes those CheckContext::rowsToCheck
// gives: all, or in a continued run those the last run left.
std::vector<int> rowsOnSite(CheckContext &context, const ReportTable &table, const SiteScope &site);

// The rows a check that takes any page sends: every row of the table, or
// in a continued run those the last run left (CheckContext::rowsToCheck).
std::vector<int> everyRowToCheck(CheckContext &context, const ReportTable &table);

// "3 of 6 rows are not on http://shop.example.org/ and were not checked"
QString rowsNotOnSiteLine(int heldBack, int rows, const QString &site);
// The message of a run with no row on the site.
QString noRowOnSiteText(int rows, const QString &site);

} // namespace veltrano
