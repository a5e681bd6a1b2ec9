#include "reports/ReportSorter.h"

#include "reports/ReportTable.h"

#include <QCollator>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <limits>
#include <numeric>

namespace veltrano {

int ReportSorter::compareUrls(QStringView a, QStringView b)
{
    return compareUrlsFrom(a, b, 0);
}

int ReportSorter::compareUrlsFrom(QStringView a, QStringView b, qsizetype start)
{
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t *pa = a.utf16();
    const char16_t *pb = b.utf16();
    qsizetype i = std::min(start, n);
    // Skip four identical code units at a time; letters that differ only
    // in case are found by the loop below.
    while (i + 4 <= n) {
        quint64 x;
        quint64 y;
        std::memcpy(&x, pa + i, sizeof x);
        std::memcpy(&y, pb + i, sizeof y);
        if (x != y)
            break;
        i += 4;
    }
    for (; i < n; ++i) {
        char16_t ca = pa[i];
        char16_t cb = pb[i];
        if (ca == cb)
            continue;
        if (ca >= u'a' && ca <= u'z')
            ca = char16_t(ca - (u'a' - u'A'));
        if (cb >= u'a' && cb <= u'z')
            cb = char16_t(cb - (u'a' - u'A'));
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

qint64 ReportSorter::wholeNumber(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    if (i == text.size())
        return 0;
    // Accumulated as a negative number so that the 64-bit minimum fits.
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        const int digit = c - u'0';
        if (value < (std::numeric_limits<qint64>::min() + digit) / 10)
            return 0;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == std::numeric_limits<qint64>::min())
            return 0;
        value = -value;
    }
    return value;
}

std::vector<int> ReportSorter::localeTextRanks(const std::vector<QStringView> &texts)
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);

    // Report columns repeat few distinct texts ("Yes", "No", small numbers),
    // so the collation keys are made once per distinct text.
    QHash<QStringView, int> distinctIndex;
    std::vector<QStringView> distinct;
    std::vector<int> rowDistinct(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        auto it = distinctIndex.constFind(texts[i]);
        if (it == distinctIndex.constEnd()) {
            it = distinctIndex.insert(texts[i], int(distinct.size()));
            distinct.push_back(texts[i]);
        }
        rowDistinct[i] = *it;
    }

    // The plain "C" locale collates by code point, letter case included; fold
    // the case there so the comparison stays case-insensitive.
    const bool foldCase = collator.locale().language() == QLocale::C;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(distinct.size());
    for (QStringView t : distinct)
        keys.push_back(collator.sortKey(foldCase ? t.toString().toCaseFolded() : t.toString()));

    std::vector<int> byKey(distinct.size());
    std::iota(byKey.begin(), byKey.end(), 0);
    std::sort(byKey.begin(), byKey.end(), [&](int a, int b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });

    std::vector<int> distinctRank(distinct.size());
    int rank = 0;
    for (size_t i = 0; i < byKey.size(); ++i) {
        if (i > 0 && keys[size_t(byKey[i - 1])].compare(keys[size_t(byKey[i])]) != 0)
            ++rank;
        distinctRank[size_t(byKey[i])] = rank;
    }

    std::vector<int> ranks(texts.size());
    for (size_t i = 0; i < texts.size(); ++i)
        ranks[i] = distinctRank[size_t(rowDistinct[i])];
    return ranks;
}

namespace {

template <typename Less> std::vector<int> stableOrder(int rows, bool ascending, Less less)
{
    std::vector<int> order(static_cast<size_t>(rows));
    std::iota(order.begin(), order.end(), 0);
    if (ascending)
        std::stable_sort(order.begin(), order.end(), less);
    else
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(b, a); });
    return order;
}

char16_t foldAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

// URLs of one site share a long beginning ("https://www.site.com/"), so the
// sort compares first a 64-bit head made of the four folded code units that
// follow the part common to all rows. Only rows with equal heads read their
// whole texts, which lie scattered in memory.
std::vector<int> urlOrder(const ReportTable &table, int column, bool ascending)
{
    struct Key {
        quint64 head;
        QStringView text;
        int row;
    };
    const int rows = table.rowCount();
    std::vector<Key> keys(static_cast<size_t>(rows));
    qsizetype common = rows > 0 ? table.cell(0, column).size() : 0;
    for (int r = 0; r < rows; ++r) {
        const QStringView text = table.cell(r, column);
        keys[size_t(r)].text = text;
        keys[size_t(r)].row = r;
        const QStringView first = keys[0].text;
        qsizetype i = 0;
        const qsizetype n = std::min(common, text.size());
        while (i < n && foldAscii(first[i].unicode()) == foldAscii(text[i].unicode()))
            ++i;
        common = i;
    }
    for (Key &k : keys) {
        quint64 head = 0;
        for (qsizetype i = common; i < common + 4; ++i)
            head = (head << 16) | (i < k.text.size() ? foldAscii(k.text[i].unicode()) : 0);
        k.head = head;
    }
    // Every text agrees with every other on the first `common` units.
    const auto less = [common](const Key &a, const Key &b) {
        if (a.head != b.head)
            return a.head < b.head;
        return ReportSorter::compareUrlsFrom(a.text, b.text, common) < 0;
    };
    if (ascending)
        std::stable_sort(keys.begin(), keys.end(), less);
    else
        std::stable_sort(keys.begin(), keys.end(), [&](const Key &a, const Key &b) { return less(b, a); });
    std::vector<int> order(static_cast<size_t>(rows));
    for (int i = 0; i < rows; ++i)
        order[size_t(i)] = keys[size_t(i)].row;
    return order;
}

} // namespace

std::vector<int> ReportSorter::sortedOrder(const ReportTable &table, int column, bool ascending)
{
    const int rows = table.rowCount();
    if (column < 0 || column >= table.columnCount())
        return stableOrder(rows, true, [](int, int) { return false; });

    switch (table.layout().columns()[size_t(column)].sortRule) {
    case SortRule::Url:
        return urlOrder(table, column, ascending);
    case SortRule::WholeNumber: {
        std::vector<qint64> values(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            values[size_t(r)] = wholeNumber(table.cell(r, column));
        return stableOrder(rows, ascending, [&](int a, int b) { return values[size_t(a)] < values[size_t(b)]; });
    }
    case SortRule::LocaleText:
    case SortRule::CellText: {
        std::vector<QStringView> texts(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            texts[size_t(r)] = table.cell(r, column);
        const std::vector<int> ranks = localeTextRanks(texts);
        return stableOrder(rows, ascending, [&](int a, int b) { return ranks[size_t(a)] < ranks[size_t(b)]; });
    }
    }
    return stableOrder(rows, true, [](int, int) { return false; });
}

} // namespace veltrano
