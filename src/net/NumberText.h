#pragma once

#include <QByteArrayView>
#include <QLocale>
#include <QString>

namespace veltrano {

// Texts of numbers as the reports show them. A service's number is shown
// according to how the service wrote it, so the JSON form works on the
// number's original token, never on a rounded binary value.
class NumberText final {
public:
    // The text of a JSON number token:
    // - a token of 12 or more characters without "." (identifiers, counters)
    //   gives the whole number in plain decimal digits, every digit kept;
    // - any other token gives the general form (see general()).
    // A token that is not a JSON number is returned as it is.
    static QString fromJsonToken(QByteArrayView token, const QLocale &locale = QLocale());

    // General form: at most 15 significant digits (halves rounded away from
    // zero), no trailing zeros, no decimal separator for whole values, the
    // locale's decimal separator otherwise. Scientific notation ("1E-5",
    // "1,5E20") only for non-zero magnitudes below 0.0001 or with more than
    // 15 digits before the point. The digits rounded are those of the
    // shortest decimal text that reads back as the same double (see fixed()).
    static QString general(double value, const QLocale &locale = QLocale());

    // Fixed form, like "%0.2f" for two decimals: exactly `decimals` digits
    // (0 to 20) after the locale's decimal separator and no group separators,
    // so 1234.5 shows "1234.50" or "1234,50", never "1,234.50". Halves are
    // rounded away from zero on the decimal value of the number, which is
    // taken to be the shortest decimal text that reads back as the same
    // double: the number as the service or the user wrote it. So 0.125 shows
    // "0.13", and 2.675 and 1.005 show "2.68" and "1.01", although their
    // nearest doubles lie a little below 2.675 and 1.005. A value that
    // rounds to zero shows no minus sign; NaN and infinities show "NAN",
    // "INF" and "-INF".
    static QString fixed(double value, int decimals, const QLocale &locale = QLocale());

    // A duration in seconds as minutes and seconds, "mm:ss": the value
    // rounded to whole seconds (an exact half to the even neighbour), then
    // the whole minutes and the seconds left, each at least two digits.
    // There is no hours part: 3725 shows "62:05", 65 "01:05", 0 "00:00". A
    // negative duration keeps its sign ("-01:05"); NaN and infinities show
    // as fixed() shows them.
    static QString minutesSeconds(double seconds);

    // The same general form for a decimal text such as "0.0344" or "1.5e20".
    static QString generalFromToken(QByteArrayView token, const QLocale &locale = QLocale());
};

} // namespace veltrano
