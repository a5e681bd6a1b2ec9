#pragma once

#include <QLocale>
#include <QString>

namespace veltrano::searchconsole {

// A number as "%0.2f" (decimals 2) or "%0.0f" (decimals 0) shows it: that
// many decimals after the locale's decimal separator, no group separators,
// and a value halfway between two results shown as the one farther from
// zero. The halfway test is made on the shortest decimal text that reads
// back as the same double, the number as Google wrote it, so 0.125 shows
// 0.13 and 2.675 shows 2.68.
QString fixedDecimals(double value, int decimals, const QLocale &locale = QLocale());

} // namespace veltrano::searchconsole
