#include "reports/ReportSorter.h"
#include "reports/ReportTable.h"
#include "reports/SortState.h"

#include <QCollator>
#include <QtTest>

#include <numeric>

using namespace veltrano;

namespace {

// A Yandex Metrika table: URL, then Visits and Users as given.
void fillMetrika(ReportTable &table, const QList<QPair<QString, QString>> &visitsUsers)
{
    for (int i = 0; i < visitsUsers.size(); ++i) {
        table.appendRows({QStringLiteral("https://example.com/%1").arg(i)});
        table.setCell(i, 1, visitsUsers[i].first);
        table.setCell(i, 2, visitsUsers[i].second);
    }
}

QStringList column(const ReportTable &table, int c)
{
    QStringList out;
    for (int r = 0; r < table.rowCount(); ++r)
        out << table.cell(r, c);
    return out;
}

// Row r gets the URL "https://example.com/r" and texts[r] in the column.
void fillNumbered(ReportTable &table, int column, const QStringList &texts)
{
    QStringList urls;
    for (int r = 0; r < texts.size(); ++r)
        urls << QStringLiteral("https://example.com/%1").arg(r);
    table.appendRows(urls);
    for (int r = 0; r < texts.size(); ++r)
        table.setCell(r, column, texts[r]);
}

// The original row numbers of fillNumbered's rows, in table order.
QList<int> rowNumbers(const ReportTable &table)
{
    QList<int> out;
    for (int r = 0; r < table.rowCount(); ++r)
        out << table.url(r).section(QLatin1Char('/'), -1).toInt();
    return out;
}

} // namespace

class ReportSortTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void headerClicksShareOneDirection();
    void stateIsSharedAcrossTables();
    void lockedTableIgnoresTheClick();
    void urlComparison_data();
    void urlComparison();
    void urlColumnOrder();
    void wholeNumbers_data();
    void wholeNumbers();
    void equalKeysKeepTheirOrderBothWays();
    void localeTextIsCaseInsensitiveAndDigitsAreCharacters_data();
    void localeTextIsCaseInsensitiveAndDigitsAreCharacters();
    void columnsWithoutARuleSortByText();
    void localeTextTies_data();
    void localeTextTies();
    void localeTextAgreesWithTheCollator_data();
    void localeTextAgreesWithTheCollator();
};

void ReportSortTest::headerClicksShareOneDirection()
{
    ReportTable table(ServiceId::YandexMetrika);
    fillMetrika(table, {{"10", "10"}, {"2", "9"}, {"100", "100"}});
    SortState state;

    QVERIFY(table.sortByHeaderClick(state, 1)); // "Visits": whole numbers, ascending at first
    QCOMPARE(column(table, 1), (QStringList{"2", "10", "100"}));
    QVERIFY(table.sortByHeaderClick(state, 1)); // same column again: inverted
    QCOMPARE(column(table, 1), (QStringList{"100", "10", "2"}));
    QVERIFY(!state.sortAscending());

    QVERIFY(table.sortByHeaderClick(state, 2)); // "Users": text, still descending
    QCOMPARE(column(table, 2), (QStringList{"9", "100", "10"}));
    QCOMPARE(state.sortColumn(), 2);
    QCOMPARE(state.lastSortColumn(), 2);
}

void ReportSortTest::stateIsSharedAcrossTables()
{
    SortState state;
    ReportTable analytics(ServiceId::Analytics);
    analytics.appendRows({"https://a/", "https://b/"});
    analytics.setCell(0, 2, "1");
    analytics.setCell(1, 2, "2");
    ReportTable console(ServiceId::SearchConsole);
    console.appendRows({"https://a/", "https://b/"});
    console.setCell(0, 2, "1");
    console.setCell(1, 2, "2");

    analytics.sortByHeaderClick(state, 2);
    QCOMPARE(analytics.cell(0, 2), QStringLiteral("1"));
    console.sortByHeaderClick(state, 2); // column 2 again, other table: inverts
    QCOMPARE(console.cell(0, 2), QStringLiteral("2"));
}

void ReportSortTest::lockedTableIgnoresTheClick()
{
    SortState state;
    ReportTable table(ServiceId::YandexMetrika);
    fillMetrika(table, {{"3", ""}, {"1", ""}});
    table.setLocked(true);
    QVERIFY(!table.sortByHeaderClick(state, 1));
    QCOMPARE(column(table, 1), (QStringList{"3", "1"}));
    QCOMPARE(state.lastSortColumn(), -1);
}

void ReportSortTest::urlComparison_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("ASCII case folded") << "https://Example.com/A"
                                       << "https://example.com/a" << 0;
    QTest::newRow("letters in order") << "https://a/x"
                                      << "https://a/Y" << -1;
    QTest::newRow("prefix goes first") << "https://a/"
                                       << "https://a/b" << -1;
    // Folding to upper case puts letters before "[" and "_" (0x5B, 0x5F).
    QTest::newRow("folded letter before underscore") << "https://a/z"
                                                     << "https://a/_" << -1;
    QTest::newRow("non-ASCII not folded") << QString::fromUtf8("https://a/é") << QString::fromUtf8("https://a/É") << 1;
    QTest::newRow("code unit order") << QString::fromUtf8("https://a/я") << "https://a/z" << 1;
}

void ReportSortTest::urlComparison()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int r = ReportSorter::compareUrls(a, b);
    QCOMPARE((r > 0) - (r < 0), sign);
    const int back = ReportSorter::compareUrls(b, a);
    QCOMPARE((back > 0) - (back < 0), -sign);
}

void ReportSortTest::urlColumnOrder()
{
    ReportTable table(ServiceId::YandexWebmaster);
    table.appendRows({"https://e/b", "https://e/A", "https://e/_x", "https://e/", "https://e/a", "https://e/ab"});
    table.sort(0, Qt::AscendingOrder);
    // Folded letters sort before "_"; "A" and "a" are equal and keep their order.
    QCOMPARE(column(table, 0),
             (QStringList{"https://e/", "https://e/A", "https://e/a", "https://e/ab", "https://e/b", "https://e/_x"}));
    table.sort(0, Qt::DescendingOrder);
    QCOMPARE(column(table, 0),
             (QStringList{"https://e/_x", "https://e/b", "https://e/ab", "https://e/A", "https://e/a", "https://e/"}));
}

void ReportSortTest::wholeNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("digits") << "120" << qint64(120);
    QTest::newRow("minus") << "-7" << qint64(-7);
    QTest::newRow("plus") << "+7" << qint64(7);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("sign alone") << "-" << qint64(0);
    QTest::newRow("decimal fraction") << "12.5" << qint64(0);
    QTest::newRow("space inside") << "1 000" << qint64(0);
    QTest::newRow("leading blank") << " 5" << qint64(0);
    QTest::newRow("text") << "n/a" << qint64(0);
    QTest::newRow("largest") << "9223372036854775807" << std::numeric_limits<qint64>::max();
    QTest::newRow("smallest") << "-9223372036854775808" << std::numeric_limits<qint64>::min();
    QTest::newRow("beyond 64 bits") << "9223372036854775808" << qint64(0);
}

void ReportSortTest::wholeNumbers()
{
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QCOMPARE(ReportSorter::wholeNumber(text), value);
}

void ReportSortTest::equalKeysKeepTheirOrderBothWays()
{
    // "Avg Position" holds decimals, which count as 0: all rows are equal.
    ReportTable table(ServiceId::SearchConsole);
    table.appendRows({"https://1/", "https://2/", "https://3/"});
    table.setCell(0, 5, "1.5");
    table.setCell(1, 5, "12.3");
    table.setCell(2, 5, "0");
    table.sort(5, Qt::AscendingOrder);
    QCOMPARE(column(table, 0), (QStringList{"https://1/", "https://2/", "https://3/"}));
    table.sort(5, Qt::DescendingOrder);
    QCOMPARE(column(table, 0), (QStringList{"https://1/", "https://2/", "https://3/"}));

    // Large values compare without overflow.
    table.setCell(0, 5, "9223372036854775807");
    table.setCell(1, 5, "-9223372036854775808");
    table.sort(5, Qt::AscendingOrder);
    QCOMPARE(column(table, 5), (QStringList{"-9223372036854775808", "0", "9223372036854775807"}));
}

void ReportSortTest::localeTextIsCaseInsensitiveAndDigitsAreCharacters_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("C") << QLocale::c();
}

void ReportSortTest::localeTextIsCaseInsensitiveAndDigitsAreCharacters()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); });
    ReportTable table(ServiceId::YandexWebmaster);
    table.appendRows({"https://1/", "https://2/", "https://3/", "https://4/", "https://5/"});
    const QStringList titles{"cherry", "Banana", "apple", "10 things", "9 lives"};
    for (int r = 0; r < titles.size(); ++r)
        table.setCell(r, 2, titles[r]);
    table.sort(2, Qt::AscendingOrder);
    QCOMPARE(column(table, 2), (QStringList{"10 things", "9 lives", "apple", "Banana", "cherry"}));

    // Texts that differ only in case are equal and keep their order.
    ReportTable same(ServiceId::YandexWebmaster);
    same.appendRows({"https://1/", "https://2/"});
    same.setCell(0, 2, "Yes");
    same.setCell(1, 2, "yes");
    same.sort(2, Qt::DescendingOrder);
    QCOMPARE(column(same, 2), (QStringList{"Yes", "yes"}));
}

void ReportSortTest::columnsWithoutARuleSortByText()
{
    ReportTable table(ServiceId::Ahrefs);
    table.appendRows({"https://1/", "https://2/", "https://3/"});
    table.setCell(0, 6, "zeta");
    table.setCell(1, 6, "Alpha");
    table.setCell(2, 6, "");
    table.sort(6, Qt::AscendingOrder);
    QCOMPARE(column(table, 6), (QStringList{"", "Alpha", "zeta"}));
}

void ReportSortTest::localeTextTies_data()
{
    // Each title is sorted with its row number; equal titles must keep the
    // rows in their table order, ascending and descending alike.
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("titles");
    QTest::addColumn<QList<int>>("ascending");
    QTest::addColumn<QList<int>>("descending");

    const QLocale ru(QLocale::Russian, QLocale::Russia);
    const QLocale en(QLocale::English, QLocale::UnitedStates);

    QTest::newRow("Russian, case ties") << ru << QStringList{"Ёлка", "дом", "ДОМ", "ёлка", "Арбуз", "Дом"}
                                        << QList<int>{4, 1, 2, 5, 0, 3} << QList<int>{0, 3, 1, 2, 5, 4};
    QTest::newRow("Russian, yo is not ye")
        << ru << QStringList{"ель", "ёж", "Ель", "еж", "ЁЖ"} << QList<int>{3, 1, 4, 0, 2} << QList<int>{0, 2, 1, 4, 3};
    QTest::newRow("English, case ties") << en << QStringList{"No", "yes", "YES", "no", "Yes", "n/a", ""}
                                        << QList<int>{6, 5, 0, 3, 1, 2, 4} << QList<int>{1, 2, 4, 0, 3, 5, 6};
    QTest::newRow("English, digits as characters") << en << QStringList{"10", "9", "1", "010", "10", "9"}
                                                   << QList<int>{3, 2, 0, 4, 1, 5} << QList<int>{1, 5, 0, 4, 2, 3};
    QTest::newRow("English, accents after the plain letter")
        << en << QStringList{"resume", "Résumé", "RESUME", "résumé"} << QList<int>{0, 2, 1, 3}
        << QList<int>{1, 3, 0, 2};
    QTest::newRow("Russian locale, mixed scripts")
        << ru << QStringList{"Yandex", "Яндекс", "yandex", "яндекс", "Google", "123", "Гугл"}
        << QList<int>{5, 6, 1, 3, 4, 0, 2} << QList<int>{0, 2, 4, 1, 3, 6, 5};
    QTest::newRow("English locale, mixed scripts")
        << en << QStringList{"Yandex", "Яндекс", "yandex", "яндекс", "Google", "123", "Гугл"}
        << QList<int>{5, 4, 0, 2, 6, 1, 3} << QList<int>{1, 3, 6, 0, 2, 4, 5};
    QTest::newRow("C locale, mixed scripts")
        << QLocale::c() << QStringList{"Yandex", "Яндекс", "yandex", "яндекс", "Google", "123", "Гугл"}
        << QList<int>{5, 4, 0, 2, 6, 1, 3} << QList<int>{1, 3, 6, 0, 2, 4, 5};
}

void ReportSortTest::localeTextTies()
{
    QFETCH(QLocale, locale);
    QFETCH(QStringList, titles);
    QFETCH(QList<int>, ascending);
    QFETCH(QList<int>, descending);
    QLocale::setDefault(locale);
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); });

    // Each direction from a fresh table, so both start from the table order.
    for (const bool up : {true, false}) {
        ReportTable table(ServiceId::YandexWebmaster); // column 2, "Title", sorts by locale text
        fillNumbered(table, 2, titles);
        table.sort(2, up ? Qt::AscendingOrder : Qt::DescendingOrder);
        QCOMPARE(rowNumbers(table), up ? ascending : descending);
    }
}

void ReportSortTest::localeTextAgreesWithTheCollator_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia);
    QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    // Locales whose letters join: "aa" in Danish, "ch" in Czech.
    QTest::newRow("Danish") << QLocale(QLocale::Danish, QLocale::Denmark);
    QTest::newRow("Czech") << QLocale(QLocale::Czech, QLocale::CzechRepublic);
    QTest::newRow("C") << QLocale::c();
}

// A column of many texts from a small alphabet, so that many of them tie:
// its order must be a stable sort by the locale's case-insensitive
// collation. The alphabet holds what could set a text's order apart from
// the order of its single characters: Latin and Cyrillic letters in both
// cases, accents precomposed and combining (й written both ways), letters
// that are a variant of another (ð of d, ґ of г, ſ of s), letters
// that expand (ß, æ) or join ("l·l", "aa", "ch"), digits, spaces,
// punctuation, characters the collation ignores (NUL, other controls, the
// soft hyphen), and characters far beyond Cyrillic.
void ReportSortTest::localeTextAgreesWithTheCollator()
{
    QFETCH(QLocale, locale);
    QLocale::setDefault(locale);
    const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); });

    const QString alphabet = QStringLiteral("aAbBéÉeEёЁеЕжЖzZ019 -_.яЯ") +
                             QStringLiteral("йЙиИ\u0306\u0301lL·ßsæøåcChH'\t\u00ad\u0001\u00a0") + QChar(0) +
                             QStringLiteral("dðгґſ中😀ǅ");
    QStringList texts;
    quint32 seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    for (int r = 0; r < 1500; ++r) {
        QString text;
        const int length = int(next() % 5);
        for (int i = 0; i < length; ++i)
            text += alphabet[int(next() % alphabet.size())];
        texts << text;
    }

    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    // The C locale collates by code point; the table folds the case there.
    const bool foldCase = locale.language() == QLocale::C;
    std::vector<QCollatorSortKey> keys;
    for (const QString &t : texts)
        keys.push_back(collator.sortKey(foldCase ? t.toCaseFolded() : t));

    for (const bool up : {true, false}) {
        QList<int> expected(texts.size());
        std::iota(expected.begin(), expected.end(), 0);
        std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
            const int c = keys[size_t(a)].compare(keys[size_t(b)]);
            return up ? c < 0 : c > 0;
        });
        ReportTable table(ServiceId::Ahrefs); // column 6, "Title", sorts by text
        fillNumbered(table, 6, texts);
        table.sort(6, up ? Qt::AscendingOrder : Qt::DescendingOrder);
        QCOMPARE(rowNumbers(table), expected);
    }
}

QTEST_GUILESS_MAIN(ReportSortTest)
#include "tst_reportsort.moc"
