#include "net/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

namespace veltrano {

namespace {

constexpr int kSignificantDigits = 15;
// Whole numbers longer than this are not spelled out digit by digit; such a
// token (an absurd exponent) falls back to the general form.
constexpr std::int64_t kMaxWholeDigits = 4096;
constexpr std::int64_t kExponentCap = 1'000'000'000'000LL;
constexpr int kMaxFixedDecimals = 20;

// A decimal value: digits × 10^exponent. digits has no leading zeros and is
// empty for zero.
struct Decimal {
    bool negative = false;
    std::string digits;
    std::int64_t exponent = 0;
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads a JSON number token (-?int(.frac)?([eE][+-]?digits)?). Returns false
// for anything else.
bool parseToken(QByteArrayView token, Decimal &out)
{
    const char *p = token.data();
    const char *end = p + token.size();
    if (p == end)
        return false;
    out = Decimal{};
    if (*p == '-') {
        out.negative = true;
        ++p;
    }
    const char *intBegin = p;
    while (p != end && isDigit(*p))
        ++p;
    if (p == intBegin)
        return false;
    std::string digits(intBegin, p);
    std::int64_t fractionLength = 0;
    if (p != end && *p == '.') {
        ++p;
        const char *fracBegin = p;
        while (p != end && isDigit(*p))
            ++p;
        if (p == fracBegin)
            return false;
        digits.append(fracBegin, p);
        fractionLength = p - fracBegin;
    }
    std::int64_t exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) {
            negativeExponent = *p == '-';
            ++p;
        }
        const char *expBegin = p;
        while (p != end && isDigit(*p)) {
            if (exponent < kExponentCap)
                exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (p == expBegin)
            return false;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (p != end)
        return false;

    const auto firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {
        out.digits.clear();
        out.exponent = 0;
        return true;
    }
    out.digits = digits.substr(firstNonZero);
    out.exponent = exponent - fractionLength;
    return true;
}

// Adds one to a string of decimal digits; "999" becomes "1000".
void incrementDigits(std::string &digits)
{
    if (digits.empty()) {
        digits.push_back('1');
        return;
    }
    for (auto i = digits.size(); i-- > 0;) {
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    // All nines: the digits are all zeros now, one more in front of them.
    digits.front() = '1';
    digits.push_back('0');
}

void stripTrailingZeros(Decimal &d)
{
    const auto last = d.digits.find_last_not_of('0');
    if (last == std::string::npos) {
        d.digits.clear();
        d.exponent = 0;
        return;
    }
    d.exponent += static_cast<std::int64_t>(d.digits.size() - (last + 1));
    d.digits.resize(last + 1);
}

// Rounds to at most 15 significant digits, halves away from zero.
void roundToSignificant(Decimal &d)
{
    if (d.digits.size() > static_cast<std::size_t>(kSignificantDigits)) {
        const bool up = d.digits[kSignificantDigits] >= '5';
        d.exponent += static_cast<std::int64_t>(d.digits.size()) - kSignificantDigits;
        d.digits.resize(kSignificantDigits);
        if (up)
            incrementDigits(d.digits);
    }
    stripTrailingZeros(d);
}

QString formatGeneral(Decimal d, const QLocale &locale)
{
    roundToSignificant(d);
    if (d.digits.empty())
        return QStringLiteral("0");

    const QString separator = locale.decimalPoint();
    const auto n = static_cast<std::int64_t>(d.digits.size());
    const std::int64_t leadingExponent = n - 1 + d.exponent; // value = d.ddd × 10^leadingExponent
    QString out;
    if (d.negative)
        out += QLatin1Char('-');

    if (leadingExponent < -4 || leadingExponent >= kSignificantDigits) {
        out += QLatin1Char(d.digits[0]);
        if (n > 1) {
            out += separator;
            out += QLatin1String(d.digits.data() + 1, static_cast<qsizetype>(n - 1));
        }
        out += QLatin1Char('E');
        out += QString::number(leadingExponent);
        return out;
    }

    if (d.exponent >= 0) {
        out += QLatin1String(d.digits.data(), static_cast<qsizetype>(n));
        out += QString(static_cast<qsizetype>(d.exponent), QLatin1Char('0'));
        return out;
    }
    const std::int64_t integerDigits = n + d.exponent;
    if (integerDigits > 0) {
        out += QLatin1String(d.digits.data(), static_cast<qsizetype>(integerDigits));
        out += separator;
        out += QLatin1String(d.digits.data() + integerDigits, static_cast<qsizetype>(n - integerDigits));
    } else {
        out += QLatin1Char('0');
        out += separator;
        out += QString(static_cast<qsizetype>(-integerDigits), QLatin1Char('0'));
        out += QLatin1String(d.digits.data(), static_cast<qsizetype>(n));
    }
    return out;
}

// The value as a whole number in plain digits. A fraction (only possible
// with a negative exponent) is rounded half away from zero. Returns an empty
// string when the number would be unreasonably long.
QString formatWhole(const Decimal &d)
{
    if (d.digits.empty())
        return QStringLiteral("0");
    std::string whole;
    if (d.exponent >= 0) {
        if (static_cast<std::int64_t>(d.digits.size()) + d.exponent > kMaxWholeDigits)
            return {};
        whole = d.digits;
        whole.append(static_cast<std::size_t>(d.exponent), '0');
    } else {
        // digits has no leading zeros, so neither has its integer prefix.
        const std::int64_t keep = static_cast<std::int64_t>(d.digits.size()) + d.exponent;
        if (keep > 0)
            whole = d.digits.substr(0, static_cast<std::size_t>(keep));
        if (keep >= 0 && d.digits[static_cast<std::size_t>(keep)] >= '5')
            incrementDigits(whole);
        if (whole.empty())
            whole.push_back('0');
    }
    QString out;
    if (d.negative && whole.compare("0") != 0)
        out += QLatin1Char('-');
    out += QLatin1String(whole.data(), static_cast<qsizetype>(whole.size()));
    return out;
}

// Rounds to `decimals` digits after the point, halves away from zero.
void roundToDecimals(Decimal &d, int decimals)
{
    const std::int64_t drop = -static_cast<std::int64_t>(decimals) - d.exponent; // digits past the last kept place
    if (drop <= 0 || d.digits.empty())
        return;
    const auto size = static_cast<std::int64_t>(d.digits.size());
    const std::int64_t keep = size - drop;
    // The first dropped digit decides: 5 or more is at least half a unit.
    const bool up = keep >= 0 && d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(std::max<std::int64_t>(keep, 0)));
    d.exponent = -decimals;
    if (up)
        incrementDigits(d.digits);
    stripTrailingZeros(d);
}

QString formatFixed(Decimal d, int decimals, const QLocale &locale)
{
    roundToDecimals(d, decimals);
    // After rounding the value is digits × 10^exponent with exponent >= -decimals.
    std::string integerPart;
    std::string fraction(static_cast<std::size_t>(decimals), '0');
    if (!d.digits.empty()) {
        const auto n = static_cast<std::int64_t>(d.digits.size());
        const std::int64_t integerDigits = n + d.exponent;
        if (integerDigits > 0) {
            integerPart = d.digits.substr(0, static_cast<std::size_t>(std::min(integerDigits, n)));
            if (d.exponent > 0)
                integerPart.append(static_cast<std::size_t>(d.exponent), '0');
        }
        // Fraction digit i (0-based) stands for 10^-(i+1).
        for (std::int64_t k = std::max<std::int64_t>(integerDigits, 0); k < n; ++k)
            fraction[static_cast<std::size_t>(k - integerDigits)] = d.digits[static_cast<std::size_t>(k)];
    }
    if (integerPart.empty())
        integerPart.push_back('0');

    QString out;
    if (d.negative && !d.digits.empty())
        out += QLatin1Char('-');
    out += QLatin1String(integerPart.data(), static_cast<qsizetype>(integerPart.size()));
    if (decimals > 0) {
        out += locale.decimalPoint();
        out += QLatin1String(fraction.data(), static_cast<qsizetype>(fraction.size()));
    }
    return out;
}

// The shortest decimal text that reads back as the same double, as a
// decimal value.
Decimal shortestDecimal(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    Decimal d;
    if (result.ec != std::errc() || !parseToken(QByteArrayView(buffer, result.ptr - buffer), d))
        return Decimal{};
    return d;
}

QString nonFinite(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

bool isPlainInteger(QByteArrayView token)
{
    qsizetype i = 0;
    if (i < token.size() && token[i] == '-')
        ++i;
    if (i == token.size())
        return false;
    if (token[i] == '0' && token.size() - i > 1)
        return false; // "01" is not a JSON number
    for (; i < token.size(); ++i) {
        if (!isDigit(token[i]))
            return false;
    }
    return true;
}

} // namespace

QString NumberText::fromJsonToken(QByteArrayView token, const QLocale &locale)
{
    // Plain integers read as written: the general form of an integer of up to
    // 15 digits and the whole-number form of a longer one are both its token.
    if (isPlainInteger(token)) {
        if (token == "-0")
            return QStringLiteral("0");
        return QString::fromLatin1(token);
    }
    Decimal d;
    if (!parseToken(token, d))
        return QString::fromLatin1(token);
    if (token.size() >= 12 && !token.contains('.')) {
        const QString whole = formatWhole(d);
        if (!whole.isEmpty())
            return whole;
    }
    return formatGeneral(d, locale);
}

QString NumberText::generalFromToken(QByteArrayView token, const QLocale &locale)
{
    Decimal d;
    if (!parseToken(token, d))
        return QString::fromLatin1(token);
    return formatGeneral(d, locale);
}

QString NumberText::general(double value, const QLocale &locale)
{
    if (!std::isfinite(value))
        return nonFinite(value);
    return formatGeneral(shortestDecimal(value), locale);
}

QString NumberText::fixed(double value, int decimals, const QLocale &locale)
{
    if (!std::isfinite(value))
        return nonFinite(value);
    return formatFixed(shortestDecimal(value), std::clamp(decimals, 0, kMaxFixedDecimals), locale);
}

QString NumberText::minutesSeconds(double seconds)
{
    if (!std::isfinite(seconds))
        return nonFinite(seconds);
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const double whole = std::nearbyint(std::fabs(seconds));
    if (whole > 9.0e15) // beyond whole-second precision: say it in fixed form
        return fixed(seconds, 0);
    const auto total = static_cast<std::int64_t>(whole);
    QString text = QStringLiteral("%1:%2")
                       .arg(total / 60, 2, 10, QLatin1Char('0'))
                       .arg(total % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 0 && total != 0)
        text.prepend(QLatin1Char('-'));
    return text;
}

} // namespace veltrano
