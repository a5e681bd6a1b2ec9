#include "SearchConsoleModule.h"

#include "GoogleApiSupport.h"
#include "SearchConsoleAccounts.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <unordered_map>

namespace veltrano::sim {

namespace {

using google::ErrorSpec;
using google::Json;
using Property = SearchConsoleAccounts::Property;
using Row = SearchConsoleAccounts::Row;

constexpr const char *kService = "searchconsole.googleapis.com";
constexpr long long kMaxRowLimit = 25000;
constexpr long long kDefaultRowLimit = 1000;

// Enumeration names as Google takes them: "SEARCH_APPEARANCE",
// "searchAppearance" and "searchappearance" are one name.
std::string enumKey(const std::string &name)
{
    std::string key;
    for (const char c : name) {
        if (c != '_')
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

std::string lower(const std::string &text)
{
    std::string out = text;
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

enum class Dimension { Query, Page, Other };
enum class Operator { Equals, NotEquals, Contains, NotContains, IncludingRegex, ExcludingRegex };

struct Filter {
    Dimension dimension = Dimension::Query;
    Operator op = Operator::Equals;
    std::string expression;      // as sent
    std::string expressionLower; // for the comparisons, which ignore letter case
    std::shared_ptr<std::regex> pattern;
};

struct Query {
    std::string startDate;
    std::string endDate;
    std::vector<Dimension> dimensions;
    std::vector<std::string> unsimulated; // valid dimension names the simulator has no data for
    std::vector<Filter> filters;          // every filter of every group: all must hold
    std::string aggregation = "auto";     // as Google names it in answers
    long long rowLimit = kDefaultRowLimit;
    long long startRow = 0;
    bool web = true; // search type "web"; the simulated data is web search only
};

struct ParseFailure {
    ErrorSpec spec;
};

std::string invalidValue(const std::string &where, const char *type, const Json &value)
{
    return "Invalid value at '" + where + "' (" + type + "), " +
           value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

// An enumeration value: its key among names, or a failure naming where.
size_t enumValue(const Json &value, const std::vector<std::string> &names, const std::string &where)
{
    if (value.is_string()) {
        const std::string key = enumKey(value.get<std::string>());
        for (size_t i = 0; i < names.size(); ++i) {
            if (enumKey(names[i]) == key)
                return i;
        }
    }
    throw ParseFailure{google::invalidArgument(invalidValue(where, "TYPE_ENUM", value))};
}

// An int32 field: a JSON integer, or a string of digits, as proto JSON allows.
long long intValue(const Json &value, const std::string &where)
{
    if (value.is_number_integer())
        return value.get<long long>();
    if (value.is_string()) {
        const std::string text = value.get<std::string>();
        if (!text.empty() && text.size() <= 11 &&
            text.find_first_not_of("0123456789", text[0] == '-' ? 1 : 0) == std::string::npos && text != "-")
            return std::stoll(text);
    }
    throw ParseFailure{google::invalidArgument(invalidValue(where, "TYPE_INT32", value))};
}

std::string stringValue(const Json &value, const std::string &where)
{
    if (!value.is_string())
        throw ParseFailure{google::invalidArgument(invalidValue(where, "TYPE_STRING", value))};
    return value.get<std::string>();
}

void onlyMembers(const Json &object, std::initializer_list<const char *> names)
{
    for (const auto &member : object.items()) {
        const std::string &name = member.key(); // a name, not a binding: the lambda below captures it
        if (std::find_if(names.begin(), names.end(), [&](const char *n) { return name == n; }) == names.end())
            throw ParseFailure{google::unknownField(name)};
    }
}

const Json &arrayMember(const Json &object, const char *name)
{
    const Json &value = object.at(name);
    if (!value.is_array())
        throw ParseFailure{
            google::invalidArgument("Invalid value at '" + std::string(name) + "', expected a list: " + value.dump())};
    return value;
}

// The body of a query as Google's front end reads it: JSON syntax, member
// names and the types and enumeration values of the members. Required
// members and ranges are checked later, by the service.
Query parseQuery(const std::string &body)
{
    Json json;
    try {
        json = body.empty() ? Json::object() : Json::parse(body);
    } catch (const Json::parse_error &e) {
        throw ParseFailure{google::invalidJson(body, e.byte > 0 ? e.byte - 1 : 0)};
    }
    if (!json.is_object())
        throw ParseFailure{google::invalidArgument("Invalid JSON payload received. Expected an object.")};
    onlyMembers(json, {"startDate", "endDate", "dimensions", "type", "searchType", "dimensionFilterGroups",
                       "aggregationType", "rowLimit", "startRow", "dataState"});

    static const std::vector<std::string> kDimensions = {"query",   "page",   "date",
                                                         "country", "device", "searchAppearance"};
    static const std::vector<std::string> kFilterDimensions = {"query", "page", "country", "device",
                                                               "searchAppearance"};
    static const std::vector<std::string> kOperators = {"equals",      "notEquals",      "contains",
                                                        "notContains", "includingRegex", "excludingRegex"};
    static const std::vector<std::string> kAggregations = {"auto", "byPage", "byProperty", "byNewsShowcasePanel"};
    static const std::vector<std::string> kTypes = {"web", "image", "video", "news", "discover", "googleNews"};
    static const std::vector<std::string> kDataStates = {"final", "all", "hourly_all"};

    Query query;
    if (json.contains("startDate"))
        query.startDate = stringValue(json["startDate"], "startDate");
    if (json.contains("endDate"))
        query.endDate = stringValue(json["endDate"], "endDate");
    if (json.contains("dimensions")) {
        const Json &list = arrayMember(json, "dimensions");
        for (size_t i = 0; i < list.size(); ++i) {
            const size_t d = enumValue(list[i], kDimensions, "dimensions[" + std::to_string(i) + "]");
            query.dimensions.push_back(d == 0 ? Dimension::Query : d == 1 ? Dimension::Page : Dimension::Other);
            if (d > 1)
                query.unsimulated.push_back(kDimensions[d]);
        }
    }
    for (const char *name : {"type", "searchType"}) {
        if (json.contains(name))
            query.web = enumValue(json[name], kTypes, name) == 0;
    }
    if (json.contains("dataState"))
        enumValue(json["dataState"], kDataStates, "dataState");
    if (json.contains("aggregationType"))
        query.aggregation = kAggregations[enumValue(json["aggregationType"], kAggregations, "aggregationType")];
    if (json.contains("rowLimit"))
        query.rowLimit = intValue(json["rowLimit"], "rowLimit");
    if (json.contains("startRow"))
        query.startRow = intValue(json["startRow"], "startRow");

    if (json.contains("dimensionFilterGroups")) {
        const Json &groups = arrayMember(json, "dimensionFilterGroups");
        for (size_t g = 0; g < groups.size(); ++g) {
            const std::string at = "dimensionFilterGroups[" + std::to_string(g) + "]";
            if (!groups[g].is_object())
                throw ParseFailure{google::invalidArgument(invalidValue(at, "TYPE_MESSAGE", groups[g]))};
            onlyMembers(groups[g], {"groupType", "filters"});
            if (groups[g].contains("groupType"))
                enumValue(groups[g]["groupType"], {"and"}, at + ".groupType");
            if (!groups[g].contains("filters"))
                continue;
            const Json &filters = arrayMember(groups[g], "filters");
            for (size_t f = 0; f < filters.size(); ++f) {
                const std::string fat = at + ".filters[" + std::to_string(f) + "]";
                const Json &item = filters[f];
                if (!item.is_object())
                    throw ParseFailure{google::invalidArgument(invalidValue(fat, "TYPE_MESSAGE", item))};
                onlyMembers(item, {"dimension", "operator", "expression"});
                Filter filter;
                const size_t d = item.contains("dimension")
                                     ? enumValue(item["dimension"], kFilterDimensions, fat + ".dimension")
                                     : 0;
                filter.dimension = d == 0 ? Dimension::Query : d == 1 ? Dimension::Page : Dimension::Other;
                if (d > 1)
                    query.unsimulated.push_back(kFilterDimensions[d]);
                if (item.contains("operator"))
                    filter.op = static_cast<Operator>(enumValue(item["operator"], kOperators, fat + ".operator"));
                if (item.contains("expression"))
                    filter.expression = stringValue(item["expression"], fat + ".expression");
                filter.expressionLower = lower(filter.expression);
                if (filter.op == Operator::IncludingRegex || filter.op == Operator::ExcludingRegex) {
                    try {
                        filter.pattern = std::make_shared<std::regex>(filter.expression);
                    } catch (const std::regex_error &) {
                        throw ParseFailure{google::invalidArgument("Invalid regular expression: " + filter.expression)};
                    }
                }
                query.filters.push_back(std::move(filter));
            }
        }
    }
    return query;
}

bool sameLetter(char a, char b)
{
    return std::tolower(static_cast<unsigned char>(a)) == static_cast<unsigned char>(b);
}

// Whether value equals or contains the lower-case expression, without regard
// to the letter case of ASCII letters.
bool equalsIgnoringCase(const std::string &value, const std::string &lowerExpression)
{
    return value.size() == lowerExpression.size() &&
           std::equal(value.begin(), value.end(), lowerExpression.begin(), sameLetter);
}

bool containsIgnoringCase(const std::string &value, const std::string &lowerExpression)
{
    return std::search(value.begin(), value.end(), lowerExpression.begin(), lowerExpression.end(), sameLetter) !=
           value.end();
}

bool matches(const Filter &filter, const Row &row)
{
    const std::string &value = filter.dimension == Dimension::Page ? row.page : row.query;
    switch (filter.op) {
    case Operator::Equals:
        return equalsIgnoringCase(value, filter.expressionLower);
    case Operator::NotEquals:
        return !equalsIgnoringCase(value, filter.expressionLower);
    case Operator::Contains:
        return containsIgnoringCase(value, filter.expressionLower);
    case Operator::NotContains:
        return !containsIgnoringCase(value, filter.expressionLower);
    case Operator::IncludingRegex:
        return std::regex_search(value, *filter.pattern);
    case Operator::ExcludingRegex:
        return !std::regex_search(value, *filter.pattern);
    }
    return false;
}

bool usesPage(const Query &query)
{
    return std::find(query.dimensions.begin(), query.dimensions.end(), Dimension::Page) != query.dimensions.end() ||
           std::any_of(query.filters.begin(), query.filters.end(),
                       [](const Filter &f) { return f.dimension == Dimension::Page; });
}

// The checks of the service itself, after the front end: required dates,
// their order, the ranges of rowLimit and startRow. "" when all is well.
std::string semanticError(const Query &query)
{
    std::string missing;
    if (query.startDate.empty())
        missing = "startDate field is required.";
    if (query.endDate.empty())
        missing += std::string(missing.empty() ? "" : "\n") + "endDate field is required.";
    if (!missing.empty())
        return missing;
    const auto start = query.startDate.size() == 10 ? support::parseDay(query.startDate) : std::nullopt;
    if (!start)
        return "Invalid startDate: \"" + query.startDate + "\". Dates are written YYYY-MM-DD.";
    const auto end = query.endDate.size() == 10 ? support::parseDay(query.endDate) : std::nullopt;
    if (!end)
        return "Invalid endDate: \"" + query.endDate + "\". Dates are written YYYY-MM-DD.";
    if (*start > *end)
        return "startDate must be earlier than or equal to endDate.";
    if (query.rowLimit < 1 || query.rowLimit > kMaxRowLimit)
        return "rowLimit must be a number from 1 to 25000.";
    if (query.startRow < 0)
        return "startRow must be a non-negative number.";
    if (query.aggregation == "byProperty" && usesPage(query))
        return "Cannot aggregate by property when grouping or filtering by page.";
    if (!query.unsimulated.empty())
        return "veltrano-sim does not simulate the dimension " + query.unsimulated.front() + ".";
    return {};
}

bool hasDataIn(const Property &property, const Query &query)
{
    const auto start = support::parseDay(query.startDate);
    const auto end = support::parseDay(query.endDate);
    const auto first = support::parseDay(property.firstDataDay);
    const auto last = support::parseDay(property.lastDataDay);
    return !(first && *end < *first) && !(last && *start > *last);
}

struct Group {
    std::vector<std::string> keys;
    double clicks = 0;
    double impressions = 0;
    double weightedPosition = 0; // position times impressions, summed
    const Row *only = nullptr;   // the group's row while it has one
    size_t rows = 0;
};

Json searchAnalytics(const Property &property, const Query &query)
{
    std::vector<Group> groups;
    if (query.web && hasDataIn(property, query)) {
        std::unordered_map<std::string, size_t> index;
        for (const Row &row : property.rows) {
            if (!std::all_of(query.filters.begin(), query.filters.end(),
                             [&](const Filter &f) { return matches(f, row); }))
                continue;
            std::vector<std::string> keys;
            std::string id;
            for (const Dimension d : query.dimensions) {
                keys.push_back(d == Dimension::Page ? row.page : row.query);
                id += keys.back();
                id += '\x1f';
            }
            const auto [it, added] = index.try_emplace(id, groups.size());
            if (added)
                groups.push_back(Group{std::move(keys)});
            Group &group = groups[it->second];
            group.clicks += row.clicks;
            group.impressions += row.impressions;
            group.weightedPosition += row.position * row.impressions;
            group.only = ++group.rows == 1 ? &row : nullptr;
        }
    }
    // Most clicks first; Google orders equal clicks arbitrarily, here by
    // impressions and then as the rows were given, so that pages stay put.
    std::stable_sort(groups.begin(), groups.end(), [](const Group &a, const Group &b) {
        return a.clicks != b.clicks ? a.clicks > b.clicks : a.impressions > b.impressions;
    });

    Json answer = Json::object();
    const size_t first = static_cast<size_t>(query.startRow);
    const size_t last = std::min(groups.size(), first + static_cast<size_t>(query.rowLimit));
    if (first < last) {
        Json rows = Json::array();
        for (size_t i = first; i < last; ++i) {
            const Group &group = groups[i];
            Json row = Json::object();
            if (!group.keys.empty())
                row["keys"] = group.keys;
            row["clicks"] = google::number(group.clicks);
            row["impressions"] = google::number(group.impressions);
            row["ctr"] = google::number(group.impressions > 0 ? group.clicks / group.impressions : 0);
            // One row keeps its position as given; more are averaged by impressions.
            row["position"] = google::number(group.only              ? group.only->position
                                             : group.impressions > 0 ? group.weightedPosition / group.impressions
                                                                     : 0);
            rows.push_back(std::move(row));
        }
        answer["rows"] = std::move(rows);
        // Left to choose, Google aggregates by page whenever the page is
        // grouped or filtered on.
        answer["responseAggregationType"] = query.aggregation != "auto" ? query.aggregation
                                            : usesPage(query)           ? "byPage"
                                                                        : "byProperty";
    } else {
        answer["responseAggregationType"] = query.aggregation;
    }
    return answer;
}

const Property *findProperty(const std::vector<Property> *properties, const std::string &siteUrl)
{
    if (!properties)
        return nullptr;
    for (const Property &property : *properties) {
        if (property.siteUrl == siteUrl)
            return &property;
    }
    return nullptr;
}

ErrorSpec noPermission(const std::string &siteUrl)
{
    ErrorSpec spec;
    spec.code = 403;
    spec.message = "User does not have sufficient permission for site '" + siteUrl +
                   "'. See also: https://support.google.com/webmasters/answer/2451999.";
    spec.status = "PERMISSION_DENIED";
    spec.legacyReason = "forbidden";
    return spec;
}

Response serve(const RecordedRequest &request, const std::string &prefix, SearchConsoleAccounts &accounts)
{
    const google::AnswerStyle style =
        google::styleFor(request, google::ErrorForm::WithErrorsList, accounts.htmlSafeEscapes());
    const std::string path = request.path.substr(prefix.size());
    const bool get = request.method == "GET" || request.method == "HEAD";

    // Route first: Google answers an unknown path or method with its 404 page
    // before it looks at any credential.
    std::string siteSegment;
    const bool list = get && (path == "/webmasters/v3/sites" || path == "/webmasters/v3/sites/");
    const std::string sitesPrefix = "/webmasters/v3/sites/";
    const std::string querySuffix = "/searchAnalytics/query";
    bool query = false;
    if (request.method == "POST" && path.size() > sitesPrefix.size() + querySuffix.size() &&
        path.compare(0, sitesPrefix.size(), sitesPrefix) == 0 &&
        path.compare(path.size() - querySuffix.size(), querySuffix.size(), querySuffix) == 0) {
        siteSegment = path.substr(sitesPrefix.size(), path.size() - sitesPrefix.size() - querySuffix.size());
        query = siteSegment.find('/') == std::string::npos;
    }
    if (!list && !query)
        return google::notFoundPage(path);

    google::FrontEnd frontEnd{
        kService,
        {"https://www.googleapis.com/auth/webmasters", "https://www.googleapis.com/auth/webmasters.readonly"},
        accounts.acceptsAnyApiKey()};
    auto authorized = google::authorize(request, accounts.tokens(), frontEnd, style);
    if (auto *refusal = std::get_if<Response>(&authorized))
        return std::move(*refusal);
    const TokenRegistry::Grant grant = std::get<TokenRegistry::Grant>(authorized);
    if (!accounts.takeQuota())
        return google::error(google::quotaExceeded(kService, google::projectNumberOf(grant)), style);

    const auto properties = accounts.properties(grant.userId);
    if (list) {
        Json answer = Json::object();
        if (properties && !properties->empty()) {
            Json entries = Json::array();
            for (const Property &property : *properties)
                entries.push_back(Json{{"siteUrl", property.siteUrl}, {"permissionLevel", property.permissionLevel}});
            answer["siteEntry"] = std::move(entries);
        }
        return google::ok(answer, style);
    }

    Query parsed;
    try {
        parsed = parseQuery(request.body);
    } catch (const ParseFailure &failure) {
        return google::error(failure.spec, style);
    }
    const std::string siteUrl = support::percentDecode(siteSegment, false);
    const Property *property = findProperty(properties.get(), siteUrl);
    if (!property || property->permissionLevel == "siteUnverifiedUser")
        return google::error(noPermission(siteUrl), style);
    if (const std::string problem = semanticError(parsed); !problem.empty())
        return google::error(google::invalidArgument(problem), style);
    return google::ok(searchAnalytics(*property, parsed), style);
}

} // namespace

SearchConsoleModule::SearchConsoleModule(std::shared_ptr<SearchConsoleAccounts> accounts)
    : m_accounts(std::move(accounts))
{
}

void SearchConsoleModule::install(SimServer &server, const std::string &prefix)
{
    server.addHandler("*", prefix + "/webmasters/", [accounts = m_accounts, prefix](const RecordedRequest &request) {
        Response response = serve(request, prefix, *accounts);
        response.delayMs = accounts->answerDelayMs();
        return response;
    });
}

Response SearchConsoleModule::errorAnswer(int code, const std::string &message, const std::string &status)
{
    ErrorSpec spec;
    spec.code = code;
    spec.message = message;
    spec.status = status;
    spec.legacyReason = code == 429 ? "rateLimitExceeded" : code >= 500 ? "backendError" : "badRequest";
    google::AnswerStyle style;
    style.errorForm = google::ErrorForm::WithErrorsList;
    return google::error(spec, style);
}

} // namespace veltrano::sim
