#include "reports/LocaleCollation.h"

#include <QCollator>
#include <QLocale>
#include <QMutex>
#include <QString>

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/ucoleitr.h>
#include <unicode/uset.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <string>

namespace veltrano {

namespace {

QCollator textCollator()
{
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    return collator;
}

// The collator's comparison, as its sort keys compare. QCollator::compare
// puts an empty text before any other, even one made only of characters the
// collation ignores, whose sort key equals the empty text's.
int collate(const QCollator &collator, QStringView a, QStringView b)
{
    if (a.isEmpty() || b.isEmpty())
        return collator.sortKey(a.toString()).compare(collator.sortKey(b.toString()));
    return collator.compare(a, b);
}

// ---- texts in collation order -------------------------------------------

// Text numbers in collation order, each marked when it collates equal to
// the one before it.
struct SortedTexts {
    std::vector<int> text;
    std::vector<char> equalsPrevious;

    size_t size() const { return text.size(); }
    void add(int t, bool equal)
    {
        text.push_back(t);
        equalsPrevious.push_back(char(equal));
    }
};

std::vector<int> denseRanks(const SortedTexts &sorted, size_t textCount)
{
    std::vector<int> rank(textCount);
    int next = -1;
    for (size_t i = 0; i < sorted.size(); ++i) {
        if (!sorted.equalsPrevious[i])
            ++next;
        rank[size_t(sorted.text[i])] = next;
    }
    return rank;
}

// ---- byte keys ------------------------------------------------------------

// Keys that order their texts as byte strings (a key that is the start of
// another goes first), all held in one buffer.
struct ByteKeys {
    struct Key {
        quint64 head; // 8 bytes from `offset`, big-endian, zero-padded
        quint32 offset;
        quint32 size;
        int text;
    };
    std::string bytes;
    std::vector<Key> keys;
};

// Sorts the keys. The part all keys share (texts of one site often begin
// alike) is skipped, and the next 8 bytes form a head that settles most
// comparisons without reading the buffer.
SortedTexts sortByteKeys(ByteKeys &k)
{
    SortedTexts sorted;
    if (k.keys.empty())
        return sorted;
    const char *bytes = k.bytes.data();
    size_t common = k.keys[0].size;
    for (const ByteKeys::Key &key : k.keys) {
        const size_t n = std::min<size_t>(common, key.size);
        const char *a = bytes + k.keys[0].offset;
        const char *b = bytes + key.offset;
        common = size_t(std::mismatch(a, a + n, b).first - a);
    }
    for (ByteKeys::Key &key : k.keys) {
        key.offset += quint32(common);
        key.size -= quint32(common);
        quint64 head = 0;
        for (quint32 i = 0; i < 8; ++i)
            head = (head << 8) | (i < key.size ? quint8(bytes[key.offset + i]) : 0);
        key.head = head;
    }
    const auto compare = [bytes](const ByteKeys::Key &a, const ByteKeys::Key &b) {
        if (a.head != b.head)
            return a.head < b.head ? -1 : 1;
        const quint32 n = std::min(a.size, b.size);
        if (n > 8) {
            const int c = std::memcmp(bytes + a.offset + 8, bytes + b.offset + 8, n - 8);
            if (c != 0)
                return c;
        }
        return a.size == b.size ? 0 : (a.size < b.size ? -1 : 1);
    };
    std::sort(k.keys.begin(), k.keys.end(),
              [&](const ByteKeys::Key &a, const ByteKeys::Key &b) { return compare(a, b) < 0; });
    sorted.text.reserve(k.keys.size());
    sorted.equalsPrevious.reserve(k.keys.size());
    for (size_t i = 0; i < k.keys.size(); ++i)
        sorted.add(k.keys[i].text, i > 0 && compare(k.keys[i - 1], k.keys[i]) == 0);
    return sorted;
}

size_t totalSize(const std::vector<QStringView> &texts)
{
    size_t size = 0;
    for (QStringView t : texts)
        size += size_t(t.size());
    return size;
}

void addKey(ByteKeys &k, int text, size_t offset)
{
    k.keys.push_back({0, quint32(offset), quint32(k.bytes.size() - offset), text});
}

// ---- the "C" locale ---------------------------------------------------------

// The case-folded UTF-8 bytes the "C" locale collates by, up to the first
// NUL (its keys compare as C strings). ASCII, the common case, is folded
// here without a QString of its own.
void appendCLocaleKey(QStringView text, std::string &bytes)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) {
        for (QChar c : text) {
            const char16_t u = c.unicode();
            if (u == 0)
                return;
            bytes.push_back(char(u >= u'A' && u <= u'Z' ? u + (u'a' - u'A') : u));
        }
        return;
    }
    const QByteArray utf8 = text.toString().toCaseFolded().toUtf8();
    bytes.append(utf8.constData(), std::strlen(utf8.constData()));
}

// The plain "C" locale collates by code point, letter case included; its
// keys are made here from the case-folded text, so the comparison stays
// case-insensitive.
std::vector<int> cLocaleRanks(const std::vector<QStringView> &texts)
{
    ByteKeys k;
    k.keys.reserve(texts.size());
    k.bytes.reserve(totalSize(texts));
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i + 12 < texts.size())
            __builtin_prefetch(texts[i + 12].data());
        const size_t offset = k.bytes.size();
        appendCLocaleKey(texts[i], k.bytes);
        addKey(k, int(i), offset);
    }
    return denseRanks(sortByteKeys(k), texts.size());
}

// ---- the weight table -------------------------------------------------------

// Code units below this have a place in the table: ASCII, Latin-1, Latin
// Extended, Greek and Cyrillic.
constexpr char16_t kTableEnd = 0x0500;
// A code unit the table cannot weigh: its text needs the collator.
constexpr quint16 kNeedsCollator = 0;
// A code unit the collation ignores altogether (most control characters).
constexpr quint16 kIgnorable = 1;
// Weights of the others start here, in the collator's order of them.
constexpr quint16 kFirstWeight = 2;

// For each code unit below kTableEnd: kNeedsCollator, kIgnorable, or its
// weight. A string of weighed code units collates like the string of their
// weights, compared element by element, a shorter one first.
//
// That holds for the case-insensitive (secondary strength) collation when
// each of those characters maps to a single collation element with a
// primary weight and the common secondary weight, starts with no combining
// mark (so the text needs no reordering), and no contraction or context
// rule of the locale can join it with its neighbours. The table admits a
// character only when the locale's collator confirms all of that; the
// weights are the collator's order of the single characters.
struct WeightTable {
    std::array<quint16, kTableEnd> weight{};
};

struct CloseCollator {
    void operator()(UCollator *c) const { ucol_close(c); }
};
struct CloseElements {
    void operator()(UCollationElements *e) const { ucol_closeElements(e); }
};
struct CloseSet {
    void operator()(USet *s) const { uset_close(s); }
};

// The collator QCollator builds for the locale, with the same settings, to
// inspect its collation elements and contractions.
std::unique_ptr<UCollator, CloseCollator> openCollator(const QLocale &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    const QByteArray name = locale.bcp47Name().replace(QLatin1Char('-'), QLatin1Char('_')).toLatin1();
    std::unique_ptr<UCollator, CloseCollator> c(ucol_open(name.constData(), &status));
    if (U_FAILURE(status) || !c)
        return nullptr;
    ucol_setAttribute(c.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(c.get(), UCOL_STRENGTH, UCOL_SECONDARY, &status);
    ucol_setAttribute(c.get(), UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(c.get(), UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    // A case level would make letter case count at this strength.
    const UColAttributeValue caseLevel = ucol_getAttribute(c.get(), UCOL_CASE_LEVEL, &status);
    if (U_FAILURE(status) || caseLevel != UCOL_OFF)
        return nullptr;
    return c;
}

enum class Kind : quint8 { NeedsCollator, Ignorable, OneElement };

// Sorts each code unit into Kind by its collation elements.
bool classifyUnits(UCollator *icu, std::array<Kind, kTableEnd> &kind)
{
    UErrorCode status = U_ZERO_ERROR;
    UChar unit = u'a';
    std::unique_ptr<UCollationElements, CloseElements> elements(ucol_openElements(icu, &unit, 1, &status));
    if (U_FAILURE(status) || !elements)
        return false;
    const auto elementsOf = [&](char16_t u, std::array<int32_t, 3> &out) {
        unit = u;
        ucol_setText(elements.get(), &unit, 1, &status);
        int n = 0;
        for (int32_t ce; n < 3 && (ce = ucol_next(elements.get(), &status)) != UCOL_NULLORDER;)
            out[size_t(n++)] = ce;
        return n;
    };
    std::array<int32_t, 3> ce{};
    // The secondary weight of a plain letter is the common one.
    if (elementsOf(u'a', ce) != 1 || U_FAILURE(status))
        return false;
    const int32_t commonSecondary = ucol_secondaryOrder(ce[0]);
    for (char16_t u = 0; u < kTableEnd; ++u) {
        kind[u] = Kind::NeedsCollator;
        if (u_getIntPropertyValue(u, UCHAR_LEAD_CANONICAL_COMBINING_CLASS) != 0)
            continue;
        const int n = elementsOf(u, ce);
        if (U_FAILURE(status))
            return false;
        if (n == 0 || (n == 1 && ce[0] == 0))
            kind[u] = Kind::Ignorable;
        else if (n == 1 && ucol_primaryOrder(ce[0]) != 0 && ucol_secondaryOrder(ce[0]) == commonSecondary)
            kind[u] = Kind::OneElement;
    }
    return true;
}

// A contraction or context rule ("l·", "и" + breve) made only of characters
// the table would weigh could fire inside a text the table ranks: the
// characters after its first are left to the collator.
bool excludeContractions(UCollator *icu, std::array<Kind, kTableEnd> &kind)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<USet, CloseSet> contractions(uset_openEmpty());
    ucol_getContractionsAndExpansions(icu, contractions.get(), nullptr, true, &status);
    if (U_FAILURE(status))
        return false;
    std::vector<UChar> item(64);
    const int32_t count = uset_getItemCount(contractions.get());
    for (int32_t i = 0; i < count; ++i) {
        UChar32 start = 0;
        UChar32 end = 0;
        status = U_ZERO_ERROR;
        int32_t length = uset_getItem(contractions.get(), i, &start, &end, item.data(), int32_t(item.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            item.resize(size_t(length));
            status = U_ZERO_ERROR;
            length = uset_getItem(contractions.get(), i, &start, &end, item.data(), int32_t(item.size()), &status);
        }
        if (U_FAILURE(status))
            return false;
        const bool withinTable = std::all_of(item.begin(), item.begin() + length,
                                             [&](UChar u) { return u < kTableEnd && kind[u] != Kind::NeedsCollator; });
        if (length < 2 || !withinTable)
            continue;
        for (int32_t k = 1; k < length; ++k)
            kind[item[size_t(k)]] = Kind::NeedsCollator;
    }
    return true;
}

// The table for the collator's locale; empty (every text needs the
// collator) where the locale's collation cannot be inspected or does not
// agree with QCollator on the single characters.
std::unique_ptr<WeightTable> buildWeightTable(const QCollator &collator)
{
    auto table = std::make_unique<WeightTable>();
    const auto icu = openCollator(collator.locale());
    std::array<Kind, kTableEnd> kind{};
    if (!icu || !classifyUnits(icu.get(), kind) || !excludeContractions(icu.get(), kind))
        return table;

    // The single characters in QCollator's order, checked against the
    // inspected collator so both are known to be the same collation.
    std::vector<char16_t> units;
    std::vector<QCollatorSortKey> keys;
    for (char16_t u = 0; u < kTableEnd; ++u) {
        if (kind[u] == Kind::OneElement) {
            units.push_back(u);
            keys.push_back(collator.sortKey(QString(QChar(u))));
        }
    }
    std::vector<int> order(units.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    quint16 weight = kFirstWeight;
    WeightTable weights;
    for (size_t i = 0; i < order.size(); ++i) {
        const char16_t u = units[size_t(order[i])];
        if (i > 0) {
            const char16_t before = units[size_t(order[i - 1])];
            const int byQt = keys[size_t(order[i - 1])].compare(keys[size_t(order[i])]);
            UErrorCode status = U_ZERO_ERROR;
            const UCollationResult byIcu = ucol_strcoll(icu.get(), reinterpret_cast<const UChar *>(&before), 1,
                                                        reinterpret_cast<const UChar *>(&u), 1);
            if (U_FAILURE(status) || (byQt == 0) != (byIcu == UCOL_EQUAL) || (byQt < 0) != (byIcu == UCOL_LESS))
                return table;
            if (byQt != 0)
                ++weight;
        }
        weights.weight[u] = weight;
    }
    for (char16_t u = 0; u < kTableEnd; ++u) {
        if (kind[u] == Kind::Ignorable && collate(collator, QString(QChar(u)), QString()) == 0)
            weights.weight[u] = kIgnorable;
    }
    *table = weights;
    return table;
}

// One table per locale, built at its first sort.
const WeightTable &weightTable(const QCollator &collator)
{
    static QMutex mutex;
    static std::map<QString, std::unique_ptr<WeightTable>> tables;
    const QMutexLocker lock(&mutex);
    std::unique_ptr<WeightTable> &table = tables[collator.locale().bcp47Name()];
    if (!table)
        table = buildWeightTable(collator);
    return *table;
}

// Appends the weights of a text's code units, two bytes each, big-endian.
// False (and nothing appended) when a code unit has no weight.
bool appendWeightKey(QStringView text, const WeightTable &table, std::string &bytes)
{
    const size_t start = bytes.size();
    bytes.resize(start + 2 * size_t(text.size()));
    char *out = bytes.data() + start;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        const quint16 w = u < kTableEnd ? table.weight[u] : kNeedsCollator;
        if (w == kNeedsCollator) {
            bytes.resize(start);
            return false;
        }
        if (w == kIgnorable)
            continue;
        *out++ = char(w >> 8);
        *out++ = char(w & 0xff);
    }
    bytes.resize(size_t(out - bytes.data()));
    return true;
}

// ---- the collator's own keys --------------------------------------------------

SortedTexts sortByCollator(const QCollator &collator, const std::vector<QStringView> &texts,
                           const std::vector<int> &which)
{
    std::vector<QCollatorSortKey> keys;
    keys.reserve(which.size());
    for (int t : which)
        keys.push_back(collator.sortKey(texts[size_t(t)].toString()));
    std::vector<int> order(which.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    SortedTexts sorted;
    sorted.text.reserve(which.size());
    sorted.equalsPrevious.reserve(which.size());
    for (size_t i = 0; i < order.size(); ++i) {
        sorted.add(which[size_t(order[i])], i > 0 && keys[size_t(order[i - 1])].compare(keys[size_t(order[i])]) == 0);
    }
    return sorted;
}

// Merges the smaller sorted run into the larger one by the collator's
// comparison. Each text of the small run finds its place by a galloping
// search from the last place, so a few texts cost a few comparisons each
// and many cost about one.
SortedTexts merge(const SortedTexts &large, const SortedTexts &small, const QCollator &collator,
                  const std::vector<QStringView> &texts)
{
    const auto compare = [&](int a, int b) { return collate(collator, texts[size_t(a)], texts[size_t(b)]); };
    SortedTexts out;
    out.text.reserve(large.size() + small.size());
    out.equalsPrevious.reserve(large.size() + small.size());
    const size_t n = large.size();
    size_t i = 0; // large[i..] not emitted yet
    for (size_t j = 0; j < small.size(); ++j) {
        const int s = small.text[j];
        // The first p >= i with large[p] not before s.
        size_t lo = i;
        size_t probe = i;
        size_t step = 1;
        while (probe < n && compare(large.text[probe], s) < 0) {
            lo = probe + 1;
            probe += step;
            step *= 2;
        }
        const size_t hi = std::min(probe, n);
        const size_t p = size_t(std::lower_bound(large.text.begin() + qsizetype(lo), large.text.begin() + qsizetype(hi),
                                                 s, [&](int a, int b) { return compare(a, b) < 0; }) -
                                large.text.begin());
        for (size_t k = i; k < p; ++k) {
            // The first of them follows the small run's previous text.
            const bool equal =
                k == i ? (j > 0 && compare(large.text[k], small.text[j - 1]) == 0) : bool(large.equalsPrevious[k]);
            out.add(large.text[k], equal);
        }
        // After large[p - 1], which comes strictly before s.
        out.add(s, p == i && j > 0 && small.equalsPrevious[j]);
        i = p;
    }
    for (size_t k = i; k < n; ++k) {
        const bool equal = k == i ? (!small.text.empty() ? compare(large.text[k], small.text.back()) == 0
                                                         : k > 0 && large.equalsPrevious[k])
                                  : bool(large.equalsPrevious[k]);
        out.add(large.text[k], equal);
    }
    return out;
}

} // namespace

std::vector<int> LocaleCollation::rankTexts(const std::vector<QStringView> &texts)
{
    const QCollator collator = textCollator();
    if (collator.locale().language() == QLocale::C)
        return cLocaleRanks(texts);

    const WeightTable &table = weightTable(collator);
    ByteKeys weighed;
    weighed.keys.reserve(texts.size());
    weighed.bytes.reserve(2 * totalSize(texts));
    std::vector<int> others;
    for (size_t i = 0; i < texts.size(); ++i) {
        // The texts lie scattered in memory: ask ahead for a later one.
        if (i + 12 < texts.size())
            __builtin_prefetch(texts[i + 12].data());
        const size_t offset = weighed.bytes.size();
        if (appendWeightKey(texts[i], table, weighed.bytes))
            addKey(weighed, int(i), offset);
        else
            others.push_back(int(i));
    }
    SortedTexts byWeights = sortByteKeys(weighed);
    if (others.empty())
        return denseRanks(byWeights, texts.size());
    SortedTexts byCollator = sortByCollator(collator, texts, others);
    if (byWeights.size() == 0)
        return denseRanks(byCollator, texts.size());
    const bool weighedLarger = byWeights.size() >= byCollator.size();
    return denseRanks(weighedLarger ? merge(byWeights, byCollator, collator, texts)
                                    : merge(byCollator, byWeights, collator, texts),
                      texts.size());
}

} // namespace veltrano
