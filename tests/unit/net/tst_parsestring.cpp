#include "net/ParseString.h"

#include <QtTest>

using veltrano::parseString;

class ParseStringTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void generalForm_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<qsizetype>("position");
        QTest::addColumn<qsizetype>("limit");
        QTest::addColumn<bool>("caseInsensitive");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<qsizetype>("positionAfter");
        QTest::addColumn<qsizetype>("limitAfter");

        QTest::newRow("between markers") << "ab[xy]cd" << "[" << "]" << qsizetype(1) << qsizetype(0) << false
                                         << "xy" << qsizetype(3) << qsizetype(7);
        QTest::newRow("multi-character end marker sets limit past it")
            << "<b>bold</b>rest" << "<b>" << "</b>" << qsizetype(1) << qsizetype(0) << false << "bold"
            << qsizetype(1) << qsizetype(12);
        QTest::newRow("adjacent markers") << "[]" << "[" << "]" << qsizetype(1) << qsizetype(0) << false << ""
                                          << qsizetype(1) << qsizetype(3);
        QTest::newRow("end marker missing after start") << "ab[xy" << "[" << "]" << qsizetype(1) << qsizetype(0)
                                                        << false << "" << qsizetype(1) << qsizetype(0);
        QTest::newRow("end marker only before start") << "x]y[z" << "[" << "]" << qsizetype(1) << qsizetype(0)
                                                      << false << "" << qsizetype(1) << qsizetype(0);
        QTest::newRow("start marker missing") << "abc" << "[" << "]" << qsizetype(2) << qsizetype(9) << false
                                              << "" << qsizetype(2) << qsizetype(9);
        QTest::newRow("empty end marker runs to the end")
            << "key=value" << "key=" << "" << qsizetype(1) << qsizetype(0) << false << "value" << qsizetype(1)
            << qsizetype(10);
        QTest::newRow("empty start marker starts at position")
            << "abcdef" << "" << "e" << qsizetype(3) << qsizetype(0) << false << "cd" << qsizetype(3)
            << qsizetype(6);
        QTest::newRow("search starts at position") << "[a][b]" << "[" << "]" << qsizetype(2) << qsizetype(0)
                                                   << false << "b" << qsizetype(4) << qsizetype(7);
        QTest::newRow("position below one counts as one and is set")
            << "[a]" << "x" << "]" << qsizetype(-5) << qsizetype(0) << false << "" << qsizetype(1)
            << qsizetype(0);
        QTest::newRow("position past the end") << "[a]" << "" << "" << qsizetype(9) << qsizetype(0) << false
                                               << "" << qsizetype(9) << qsizetype(4);
        QTest::newRow("limit cuts the end") << "a[bcd]" << "[" << "]" << qsizetype(1) << qsizetype(4) << false
                                            << "b" << qsizetype(2) << qsizetype(5);
        QTest::newRow("limit before the start gives empty but moves")
            << "abc[def]" << "[" << "]" << qsizetype(1) << qsizetype(2) << false << "" << qsizetype(4)
            << qsizetype(3);
        QTest::newRow("limit after the end marker has no effect")
            << "[a]bc" << "[" << "]" << qsizetype(1) << qsizetype(5) << false << "a" << qsizetype(1)
            << qsizetype(4);
        QTest::newRow("case-insensitive finds markers, keeps letters")
            << "<TITLE>Hi There</title>" << "<title>" << "</TITLE>" << qsizetype(1) << qsizetype(0) << true
            << "Hi There" << qsizetype(1) << qsizetype(24);
        QTest::newRow("case-sensitive by default") << "<TITLE>Hi</title>" << "<title>" << "</TITLE>"
                                                   << qsizetype(1) << qsizetype(0) << false << ""
                                                   << qsizetype(1) << qsizetype(0);
        QTest::newRow("only ASCII letters fold") << QString::fromUtf8("xÄy|") << QString::fromUtf8("ä") << "|"
                                                 << qsizetype(1) << qsizetype(0) << true << ""
                                                 << qsizetype(1) << qsizetype(0);
        QTest::newRow("non-ASCII markers match exactly")
            << QString::fromUtf8("имя: «Пётр»") << QString::fromUtf8("«") << QString::fromUtf8("»")
            << qsizetype(1) << qsizetype(0) << true << QString::fromUtf8("Пётр") << qsizetype(6)
            << qsizetype(12);
    }
    void generalForm()
    {
        QFETCH(QString, source);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(qsizetype, position);
        QFETCH(qsizetype, limit);
        QFETCH(bool, caseInsensitive);
        QFETCH(QString, expected);
        QFETCH(qsizetype, positionAfter);
        QFETCH(qsizetype, limitAfter);

        QCOMPARE(parseString(source, start, end, position, limit, caseInsensitive), expected);
        QCOMPARE(position, positionAfter);
        QCOMPARE(limit, limitAfter);
    }

    // The two callers of the plain form: the sign-in callback and the
    // Yandex Webmaster user id.
    void plainForm_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("expected");

        const QString callback = QStringLiteral("http://127.0.0.1:42361/Callback?code=");
        QTest::newRow("code") << "http://127.0.0.1:42361/Callback?code=4/0Ab&scope=x" << callback << "&"
                              << "4/0Ab";
        QTest::newRow("code without ampersand") << "http://127.0.0.1:42361/Callback?code=abc" << callback << "&"
                                                << "";
        QTest::newRow("letter case matters") << "http://127.0.0.1:42361/callback?code=abc&" << callback << "&"
                                             << "";
        QTest::newRow("user id") << "{\"user_id\":12345}" << "\"user_id\":" << "}" << "12345";
        QTest::newRow("user id taken unchanged") << "{\"user_id\": 7, \"x\":{}}" << "\"user_id\":" << "}"
                                                 << " 7, \"x\":{";
        QTest::newRow("error answer has no user id") << "{\"error_code\":\"INVALID_OAUTH_TOKEN\"}"
                                                     << "\"user_id\":" << "}" << "";
    }
    void plainForm()
    {
        QFETCH(QString, source);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, expected);
        QCOMPARE(parseString(source, start, end), expected);
    }
};

QTEST_GUILESS_MAIN(ParseStringTest)
#include "tst_parsestring.moc"
