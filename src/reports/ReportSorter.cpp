#include "reports/ReportSorter.h"

#include "reports/LocaleCollation.h"
#include "reports/ReportTable.h"

#include <QHash>

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
    // Report columns repeat few distinct texts ("Yes", "No", small numbers),
    // so each distinct text gets its key once.
    QHash<QStringView, int> distinctIndex;
    distinctIndex.reserve(qsizetype(std::min<size_t>(texts.size(), 1024)));
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

    const std::vector<int> distinctRank = LocaleCollation::rankTexts(distinct);

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

// A stable order of rows by dense ranks (0 .. highest): rows are counted
// into one bucket per rank and taken out in row order.
std::vector<int> orderByRanks(const std::vector<int> &ranks, bool ascending)
{
    const int highest = ranks.empty() ? 0 : *std::max_element(ranks.begin(), ranks.end());
    std::vector<int> start(size_t(highest) + 2, 0);
    const auto bucket = [&](int rank) { return size_t(ascending ? rank : highest - rank); };
    for (int rank : ranks)
        ++start[bucket(rank) + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<int> order(ranks.size());
    for (size_t row = 0; row < ranks.size(); ++row)
        order[size_t(start[bucket(ranks[row])]++)] = int(row);
    return order;
}

// Asks the processor to start loading the memory at p. In assembly on x86:
// GCC 12 drops a __builtin_prefetch of the characters of a table cell.
inline void prefetch(const void *p)
{
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("prefetcht0 (%0)" : : "r"(p));
#else
    __builtin_prefetch(p);
#endif
}

// The texts of a column lie scattered in memory, each row's in a block of
// its own. A pass over the rows asks ahead for the cell of a row further on
// and for the characters of a nearer one, so that their loads overlap with
// the work on the current row instead of stalling it one by one.
void prefetchCell(const ReportTable &table, int rows, int row, int column)
{
    constexpr int cellAhead = 32;
    constexpr int textAhead = 12;
    if (row + cellAhead < rows)
        prefetch(&table.cell(row + cellAhead, column));
    if (row + textAhead < rows)
        prefetch(QStringView(table.cell(row + textAhead, column)).utf16());
}

char16_t foldAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

// URLs of one site share a long beginning ("https://www.site.com/"). The
// sort reads only what follows the part common to all rows: those code
// units, folded, are copied once into one buffer, and the first four of
// them form a 64-bit head that settles most comparisons. Equal URLs keep
// their row order.
std::vector<int> urlOrder(const ReportTable &table, int column, bool ascending)
{
    struct Key {
        quint64 head;
        quint32 offset;
        quint32 size;
        int row;
    };
    const int rows = table.rowCount();
    // The part common to all texts, and how much follows it in all.
    qsizetype common = rows > 0 ? table.cell(0, column).size() : 0;
    size_t totalSize = 0;
    if (rows > 0) {
        const QString &first = table.cell(0, column);
        for (int r = 0; r < rows; ++r) {
            prefetchCell(table, rows, r, column);
            const QStringView text = table.cell(r, column);
            totalSize += size_t(text.size());
            qsizetype i = 0;
            const qsizetype n = std::min(common, text.size());
            while (i < n && foldAscii(first[i].unicode()) == foldAscii(text[i].unicode()))
                ++i;
            common = i;
        }
    }

    // What follows the common part, folded, goes into one buffer sized
    // once, so the sort reads neither the scattered texts nor a buffer
    // that grew by copies.
    std::vector<Key> keys(static_cast<size_t>(rows));
    std::vector<char16_t> units(totalSize - size_t(rows) * size_t(common));
    size_t offset = 0;
    for (int r = 0; r < rows; ++r) {
        prefetchCell(table, rows, r, column);
        const QStringView rest = QStringView(table.cell(r, column)).sliced(common);
        Key &k = keys[size_t(r)];
        k.offset = quint32(offset);
        k.size = quint32(rest.size());
        k.row = r;
        char16_t *out = units.data() + offset;
        for (qsizetype i = 0; i < rest.size(); ++i)
            out[i] = foldAscii(rest[i].unicode());
        offset += size_t(rest.size());
        quint64 head = 0;
        for (quint32 i = 0; i < 4; ++i)
            head = (head << 16) | (i < k.size ? out[i] : 0);
        k.head = head;
    }

    const auto compare = [&units](const Key &a, const Key &b) {
        if (a.head != b.head)
            return a.head < b.head ? -1 : 1;
        const quint32 n = std::min(a.size, b.size);
        const char16_t *pa = units.data() + a.offset;
        const char16_t *pb = units.data() + b.offset;
        for (quint32 i = 4; i < n; ++i) {
            if (pa[i] != pb[i])
                return pa[i] < pb[i] ? -1 : 1;
        }
        return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
    };
    if (ascending) {
        std::sort(keys.begin(), keys.end(), [&](const Key &a, const Key &b) {
            const int c = compare(a, b);
            return c != 0 ? c < 0 : a.row < b.row;
        });
    } else {
        std::sort(keys.begin(), keys.end(), [&](const Key &a, const Key &b) {
            const int c = compare(a, b);
            return c != 0 ? c > 0 : a.row < b.row;
        });
    }
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
        for (int r = 0; r < rows; ++r) {
            prefetchCell(table, rows, r, column);
            values[size_t(r)] = wholeNumber(table.cell(r, column));
        }
        return stableOrder(rows, ascending, [&](int a, int b) { return values[size_t(a)] < values[size_t(b)]; });
    }
    case SortRule::LocaleText:
    case SortRule::CellText: {
        // Equal cells share one pooled text, so the distinct texts are
        // found through their pool numbers, without hashing any text.
        std::vector<int> distinctOfId(table.textPoolSize(), -1);
        std::vector<QStringView> distinct;
        std::vector<int> rowDistinct(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r) {
            prefetchCell(table, rows, r, column);
            int &d = distinctOfId[table.cellTextId(r, column)];
            if (d < 0) {
                d = int(distinct.size());
                distinct.push_back(table.cell(r, column));
            }
            rowDistinct[size_t(r)] = d;
        }
        const std::vector<int> distinctRank = LocaleCollation::rankTexts(distinct);
        std::vector<int> ranks(static_cast<size_t>(rows));
        for (int r = 0; r < rows; ++r)
            ranks[size_t(r)] = distinctRank[size_t(rowDistinct[size_t(r)])];
        return orderByRanks(ranks, ascending);
    }
    }
    return stableOrder(rows, true, [](int, int) { return false; });
}

} // namespace veltrano
