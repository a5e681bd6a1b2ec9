#include "services/search_console/FixedDecimals.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

namespace veltrano::searchconsole {

QString fixedDecimals(double value, int decimals, const QLocale &locale)
{
    if (!std::isfinite(value))
        return QString::number(value, 'f', decimals);

    // The shortest round-trip digits and their exponent: 2.675 -> "2675", 0.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific);
    const std::string text(buffer, result.ptr);
    const size_t e = text.find('e');
    std::string digits = text.substr(0, e);
    digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
    const int exponent = std::stoi(text.substr(e + 1));

    // Digits of the whole number value * 10^decimals, rounded half away
    // from zero on the next digit.
    const int kept = exponent + 1 + decimals; // how many of the digits stand before the cut
    std::string whole;
    bool roundUp = false;
    if (kept > 0) {
        whole = digits.substr(0, size_t(std::min<int>(kept, int(digits.size()))));
        whole.append(size_t(std::max(0, kept - int(digits.size()))), '0');
        roundUp = kept < int(digits.size()) && digits[size_t(kept)] >= '5';
    } else {
        whole = "0";
        roundUp = kept == 0 && digits[0] >= '5';
    }
    if (roundUp) {
        int i = int(whole.size()) - 1;
        while (i >= 0 && whole[size_t(i)] == '9')
            whole[size_t(i--)] = '0';
        if (i >= 0)
            ++whole[size_t(i)];
        else
            whole.insert(whole.begin(), '1');
    }

    // Split into whole part and decimals.
    if (int(whole.size()) <= decimals)
        whole.insert(0, size_t(decimals + 1 - int(whole.size())), '0');
    const std::string integral = whole.substr(0, whole.size() - size_t(decimals));
    const std::string fraction = whole.substr(whole.size() - size_t(decimals));
    const bool zero = whole.find_first_not_of('0') == std::string::npos;

    QString out;
    if (value < 0 && !zero)
        out += locale.negativeSign();
    out += QString::fromLatin1(integral.c_str());
    if (decimals > 0)
        out += locale.decimalPoint() + QString::fromLatin1(fraction.c_str());
    return out;
}

} // namespace veltrano::searchconsole
