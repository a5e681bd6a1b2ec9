#include "app/VeltranoError.h"
#include "net/JsonDocument.h"
#include "net/NumberText.h"

#include <QtTest>

using veltrano::JsonDocument;
using veltrano::JsonValue;
using veltrano::NumberText;
using veltrano::VeltranoError;

namespace {

const QLocale kDot(QLocale::English, QLocale::UnitedStates);
const QLocale kComma(QLocale::German, QLocale::Germany);

JsonDocument parsed(const QByteArray &json)
{
    JsonDocument doc = JsonDocument::parse(json);
    if (!doc.isValid())
        qWarning() << doc.errorString();
    return doc;
}

} // namespace

class JsonTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void numberText_data()
    {
        QTest::addColumn<QByteArray>("token");
        QTest::addColumn<QString>("dotLocale");
        QTest::addColumn<QString>("commaLocale");

        QTest::newRow("whole written with fraction") << QByteArray("140.0") << "140" << "140";
        QTest::newRow("small fraction") << QByteArray("0.0344") << "0.0344" << "0,0344";
        QTest::newRow("negative, trailing zero") << QByteArray("-2.50") << "-2.5" << "-2,5";
        QTest::newRow("integer") << QByteArray("12345") << "12345" << "12345";
        QTest::newRow("negative zero") << QByteArray("-0.0") << "0" << "0";
        QTest::newRow("11-digit id") << QByteArray("12345678901") << "12345678901" << "12345678901";
        QTest::newRow("id beyond 64 bits keeps every digit")
            << QByteArray("123456789012345678901234567890") << "123456789012345678901234567890"
            << "123456789012345678901234567890";
        QTest::newRow("12-character exponent token is spelled out")
            << QByteArray("100000000e20") << "10000000000000000000000000000" << "10000000000000000000000000000";
        QTest::newRow("long token with point: 15 digits, rounded")
            << QByteArray("123456789012345.6") << "123456789012346" << "123456789012346";
        QTest::newRow("rounding carries into a new digit")
            << QByteArray("999999999999999.5") << "1E15" << "1E15";
        QTest::newRow("15 digits before the point stay plain")
            << QByteArray("999999999999999.0") << "999999999999999" << "999999999999999";
        QTest::newRow("16 digits before the point go scientific")
            << QByteArray("1234567890123456.0") << "1.23456789012346E15" << "1,23456789012346E15";
        QTest::newRow("long fraction") << QByteArray("0.12345678901234567") << "0.123456789012346"
                                       << "0,123456789012346";
        QTest::newRow("0.0001 is plain") << QByteArray("0.0001") << "0.0001" << "0,0001";
        QTest::newRow("below 0.0001 is scientific") << QByteArray("0.00001") << "1E-5" << "1E-5";
        QTest::newRow("exponent form") << QByteArray("2.5e-7") << "2.5E-7" << "2,5E-7";
        QTest::newRow("large exponent form") << QByteArray("1.5E+20") << "1.5E20" << "1,5E20";
        QTest::newRow("short exponent token, plain value") << QByteArray("1e3") << "1000" << "1000";
        QTest::newRow("beyond double range") << QByteArray("1.0e400") << "1E400" << "1E400";
        QTest::newRow("whole-number form rounds a fraction")
            << QByteArray("123456789e-3") << "123457" << "123457";
        QTest::newRow("whole-number form of a tiny negative") << QByteArray("-1234567890e-20") << "0" << "0";
    }
    void numberText()
    {
        QFETCH(QByteArray, token);
        QFETCH(QString, dotLocale);
        QFETCH(QString, commaLocale);

        // Through the reader, as the reports see it.
        const JsonDocument doc = parsed("[" + token + "]");
        QVERIFY(doc.isValid());
        const JsonValue &number = doc.root().at(0);
        QVERIFY(number.isNumber());
        QCOMPARE(number.numberToken(), QByteArrayView(token));
        QCOMPARE(number.text(kDot), dotLocale);
        QCOMPARE(number.text(kComma), commaLocale);
    }

    void defaultLocaleIsUsed()
    {
        const QLocale saved;
        QLocale::setDefault(kComma);
        const JsonDocument doc = parsed("{\"rate\":0.5}");
        const QString text = doc.root().memberText(u"rate");
        QLocale::setDefault(saved);
        QCOMPARE(text, QStringLiteral("0,5"));
    }

    void generalFormOfDoubles_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("whole") << 12.0 << "12";
        QTest::newRow("fraction") << 0.1 << "0,1";
        QTest::newRow("binary noise cut at 15 digits") << 0.1 + 0.2 << "0,3";
        QTest::newRow("small") << 0.00005 << "5E-5";
        QTest::newRow("large") << 1e20 << "1E20";
        QTest::newRow("negative") << -1234.5678 << "-1234,5678";
    }
    void generalFormOfDoubles()
    {
        QFETCH(double, value);
        QFETCH(QString, expected);
        QCOMPARE(NumberText::general(value, kComma), expected);
    }

    void membersKeepAnswerOrderAndTexts()
    {
        const JsonDocument doc = parsed("{\"zeta\":\"z\",\"alpha\":1,\"mid\":true,\"no\":false,\n"
                                        "\"nothing\":null,\"obj\":{\"x\":1},\"arr\":[1,\"two\",[3]],\"zeta\":\"second\"}");
        QVERIFY(doc.isValid());
        const JsonValue &root = doc.root();
        QVERIFY(root.isObject());

        QStringList keys;
        for (const JsonValue &member : root)
            keys << member.key();
        QCOMPARE(keys, QStringList({"zeta", "alpha", "mid", "no", "nothing", "obj", "arr", "zeta"}));

        QCOMPARE(root.memberText(u"zeta"), QStringLiteral("z")); // the first of duplicates
        QCOMPARE(root.memberText(u"alpha"), QStringLiteral("1"));
        QCOMPARE(root.memberText(u"mid"), QStringLiteral("true"));
        QCOMPARE(root.memberText(u"no"), QStringLiteral("false"));
        QCOMPARE(root.memberText(u"nothing"), QString());
        QVERIFY(root.requireMember(u"nothing").isNull());
        QCOMPARE(root.memberText(u"obj"), QString());
        QCOMPARE(root.memberText(u"arr"), QString());
        QVERIFY(root.requireMember(u"mid").toBool());

        const JsonValue &arr = root.requireMember(QLatin1StringView("arr"));
        QCOMPARE(arr.size(), 3);
        QCOMPARE(arr.at(1).text(), QStringLiteral("two"));
        QCOMPARE(arr.at(2).at(0).text(), QStringLiteral("3"));
        QVERIFY(arr.at(3).isNull()); // out of range reads as null, never crashes
        QCOMPARE(arr.at(0).key(), QString());
        QVERIFY(arr.member(u"x") == nullptr); // an array has no members

        bool ok = false;
        QCOMPARE(root.requireMember(u"alpha").toDouble(&ok), 1.0);
        QVERIFY(ok);
        root.requireMember(u"zeta").toDouble(&ok);
        QVERIFY(!ok);
    }

    void missingMemberRaisesValueNotFound()
    {
        const JsonDocument doc = parsed("{\"a\":{\"b\":1}}");
        try {
            doc.root().requireMember(u"a").memberText(u"user_id");
            QFAIL("no error raised");
        } catch (const VeltranoError &error) {
            QCOMPARE(error.message(), QStringLiteral("Value 'user_id' not found"));
        }
        QVERIFY_THROWS_EXCEPTION(VeltranoError, doc.root().requireMember(u"a").requireMember(u"b").memberText(u"c"));
        QCOMPARE(doc.root().member(u"b"), nullptr); // members are not searched in depth
    }

    void stringTexts_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");

        const QString title = QString::fromUtf8("Главная страница — «Сайт»");
        QTest::newRow("raw UTF-8 Cyrillic") << QByteArray("\"" + title.toUtf8() + "\"") << title;
        QTest::newRow("escaped Cyrillic")
            << QByteArray("\"\\u0413\\u043b\\u0430\\u0432\\u043d\\u0430\\u044f \\u0441\\u0442\\u0440\\u0430\\u043d\\u0438"
                          "\\u0446\\u0430 \\u2014 \\u00ab\\u0421\\u0430\\u0439\\u0442\\u00bb\"")
            << title;
        QTest::newRow("mixed raw and escaped") << QByteArray("\"\xd0\x9f\\u0440\xd0\xb8\"")
                                               << QString::fromUtf8("При");
        QTest::newRow("simple escapes") << QByteArray("\"a\\\"b\\\\c\\/d\\b\\f\\n\\r\\t\"")
                                        << QStringLiteral("a\"b\\c/d\b\f\n\r\t");
        QTest::newRow("surrogate pair") << QByteArray("\"x\\ud83d\\ude00y\"") << QString::fromUtf8("x😀y");
        QTest::newRow("lone high surrogate") << QByteArray("\"x\\ud83dy\"") << QString::fromUtf8("x\uFFFDy");
        QTest::newRow("high surrogate before a non-surrogate escape")
            << QByteArray("\"\\ud83d\\u0041\"") << QString::fromUtf8("\uFFFDA");
        QTest::newRow("lone low surrogate") << QByteArray("\"\\ude00\"") << QString::fromUtf8("\uFFFD");
        QTest::newRow("invalid UTF-8 byte") << QByteArray("\"a\xff" "b\"") << QString::fromUtf8("a\uFFFDb");
        QTest::newRow("truncated UTF-8 sequence before an escape")
            << QByteArray("\"\xd0\\n\"") << QString::fromUtf8("\uFFFD\n");
        QTest::newRow("raw tab kept") << QByteArray("\"a\tb\"") << QStringLiteral("a\tb");
        QTest::newRow("escaped NUL") << QByteArray("\"a\\u0000b\"")
                                     << QString(reinterpret_cast<const QChar *>(u"a\0b"), 3);
        // U+FEFF written raw is a character of the text, wherever it stands;
        // only a byte-order mark before the whole answer is skipped.
        QTest::newRow("raw U+FEFF first") << QByteArray("\"\xef\xbb\xbf"
                                                        "a\"")
                                          << QStringLiteral("\uFEFFa");
        QTest::newRow("raw U+FEFF after an escape") << QByteArray("\"a\\n\xef\xbb\xbf\xef\xbb\xbf"
                                                                  "b\"")
                                                    << QStringLiteral("a\n\uFEFF\uFEFFb");
    }
    void stringTexts()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        const JsonDocument doc = parsed(json);
        QVERIFY(doc.isValid());
        QVERIFY(doc.root().isString());
        QCOMPARE(doc.root().text(), expected);
    }

    void escapedAndNonAsciiMemberNames()
    {
        const JsonDocument doc = parsed("{\"\\u0442\\u0438\\u0442\\u0443\\u043b\":1,\"\xd0\xb8\xd0\xbc\xd1\x8f\":2}");
        QVERIFY(doc.isValid());
        QCOMPARE(doc.root().memberText(QString::fromUtf8("титул")), QStringLiteral("1"));
        QCOMPARE(doc.root().memberText(QString::fromUtf8("имя")), QStringLiteral("2"));
        QCOMPARE(doc.root().at(0).key(), QString::fromUtf8("титул"));

        // Found by fuzzing: a name beginning with U+FEFF read as if it had
        // none, so member(key()) missed the member it came from.
        const JsonDocument marked = parsed("{\"\xef\xbb\xbfname\":1}");
        const JsonValue &first = marked.root().at(0);
        QCOMPARE(first.key(), QStringLiteral("\uFEFFname"));
        QCOMPARE(marked.root().member(first.key()), &first);
        QVERIFY(marked.root().member(QStringLiteral("name")) == nullptr);
    }

    void malformedInputIsAParseError_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("blank") << QByteArray(" \r\n\t ");
        QTest::newRow("html error page") << QByteArray("<html><body>502 Bad Gateway</body></html>");
        QTest::newRow("truncated object") << QByteArray("{\"hosts\":[{\"host_id\":\"https:ex");
        QTest::newRow("truncated after colon") << QByteArray("{\"a\":");
        QTest::newRow("truncated array") << QByteArray("[1,2");
        QTest::newRow("truncated escape") << QByteArray("[\"\\u00");
        QTest::newRow("truncated literal") << QByteArray("tru");
        QTest::newRow("missing colon") << QByteArray("{\"a\" 1}");
        QTest::newRow("unquoted key") << QByteArray("{a:1}");
        QTest::newRow("trailing comma") << QByteArray("[1,]");
        QTest::newRow("comma only") << QByteArray("{,}");
        QTest::newRow("mismatched close") << QByteArray("[1}");
        QTest::newRow("text after value") << QByteArray("{} {}");
        QTest::newRow("leading zero") << QByteArray("[01]");
        QTest::newRow("bare point") << QByteArray("[1.]");
        QTest::newRow("minus only") << QByteArray("[-]");
        QTest::newRow("exponent without digits") << QByteArray("[1e]");
        QTest::newRow("NaN") << QByteArray("[NaN]");
        QTest::newRow("invalid escape") << QByteArray("\"\\x41\"");
        QTest::newRow("bad hex in escape") << QByteArray("\"\\u12G4\"");
        QTest::newRow("NUL byte") << QByteArray("[1,\0 2]", 7);
        QTest::newRow("non-ASCII outside strings") << QByteArray("[\xd0\x90]");
    }
    void malformedInputIsAParseError()
    {
        QFETCH(QByteArray, input);
        const JsonDocument doc = JsonDocument::parse(input);
        QVERIFY(!doc.isValid());
        QVERIFY(doc.errorString().startsWith(QStringLiteral("JSON parse error at byte ")));
        QVERIFY(doc.root().isNull());
        QCOMPARE(doc.root().size(), 0);
        QVERIFY(doc.root().member(u"a") == nullptr);
    }

    void nestingDepthIsLimited()
    {
        const int limit = JsonDocument::kMaxDepth;
        const QByteArray deepest = QByteArray(limit, '[') + QByteArray(limit, ']');
        QVERIFY(JsonDocument::parse(deepest).isValid());

        const QByteArray tooDeep = QByteArray(limit + 1, '[') + QByteArray(limit + 1, ']');
        const JsonDocument refused = JsonDocument::parse(tooDeep);
        QVERIFY(!refused.isValid());
        QVERIFY(refused.errorString().contains(QStringLiteral("nesting")));

        // Far deeper than any stack could recurse, objects and arrays mixed.
        QByteArray hostile;
        for (int i = 0; i < 500000; ++i)
            hostile += "{\"a\":[";
        QVERIFY(!JsonDocument::parse(hostile).isValid());
    }

    void documentCopiesShareData()
    {
        JsonDocument copy;
        const JsonValue *value = nullptr;
        {
            QByteArray bytes("{\"title\":\"kept\"}");
            const JsonDocument original = parsed(bytes);
            copy = original;
            value = copy.root().member(u"title");
            bytes.fill('x'); // the document holds its own copy of the answer
        }
        QVERIFY(value != nullptr);
        QCOMPARE(value->text(), QStringLiteral("kept"));
    }
};

QTEST_GUILESS_MAIN(JsonTest)
#include "tst_json.moc"
