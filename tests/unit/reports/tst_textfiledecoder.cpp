#include "reports/TextFileDecoder.h"

#include <QtTest>

using namespace veltrano;
using Encoding = TextFileDecoder::Encoding;

Q_DECLARE_METATYPE(TextFileDecoder::Encoding)

class TextFileDecoderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void encodings_data();
    void encodings();
    void lineBreaks_data();
    void lineBreaks();
};

void TextFileDecoderTest::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Encoding>("encoding");
    QTest::addColumn<QString>("text");

    const QString privet = QString::fromUtf8("https://пример.рф/Ёж");
    QTest::newRow("UTF-8 with BOM") << QByteArray("\xEF\xBB\xBF") + privet.toUtf8() << Encoding::Utf8WithBom << privet;
    QByteArray le("\xFF\xFE", 2);
    le += QByteArray(reinterpret_cast<const char *>(privet.utf16()), privet.size() * 2);
    QTest::newRow("UTF-16 LE with BOM") << le << Encoding::Utf16LittleEndian << privet;
    QByteArray be("\xFE\xFF", 2);
    for (QChar c : privet)
        be += char(c.unicode() >> 8), be += char(c.unicode() & 0xFF);
    QTest::newRow("UTF-16 BE with BOM") << be << Encoding::Utf16BigEndian << privet;
    QTest::newRow("UTF-8 without BOM") << privet.toUtf8() << Encoding::Utf8 << privet;
    QTest::newRow("ASCII") << QByteArray("https://a/b") << Encoding::Utf8 << "https://a/b";
    // "https://пример.рф/Ёж" in Windows-1251, then its typographic signs.
    QTest::newRow("Windows-1251") << QByteArray("https://\xEF\xF0\xE8\xEC\xE5\xF0.\xF0\xF4/\xA8\xE6")
                                  << Encoding::Windows1251 << privet;
    QTest::newRow("Windows-1251 signs") << QByteArray("\x85\x96\x97\xAB\xBB\xB9\x88\x98") << Encoding::Windows1251
                                        << QString::fromUtf8("…–—«»№€\uFFFD");
    // A UTF-8 sequence cut short at the end is not valid UTF-8.
    QTest::newRow("truncated UTF-8") << QByteArray("abc\xD0") << Encoding::Windows1251 << QString::fromUtf8("abcР");
    QTest::newRow("empty") << QByteArray() << Encoding::Utf8 << QString();
}

void TextFileDecoderTest::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Encoding, encoding);
    QFETCH(QString, text);
    Encoding used{};
    QCOMPARE(TextFileDecoder::decode(bytes, &used), text);
    QCOMPARE(used, encoding);
    QCOMPARE(TextFileDecoder::detect(bytes), encoding);
}

void TextFileDecoderTest::lineBreaks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR, LF and CR LF") << "a\rb\nc\r\nd" << QStringList{"a", "b", "c", "d"};
    QTest::newRow("LF CR is two breaks") << "a\n\rb" << QStringList{"a", "", "b"};
    QTest::newRow("final break opens no line") << "a\r\n" << QStringList{"a"};
    QTest::newRow("empty lines kept") << "\r\n\r\nx" << QStringList{"", "", "x"};
    QTest::newRow("no text") << "" << QStringList{};
}

void TextFileDecoderTest::lineBreaks()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QStringList got;
    TextFileDecoder::forEachLine(text, [&](QStringView line) {
        got << line.toString();
        return true;
    });
    QCOMPARE(got, lines);
}

QTEST_GUILESS_MAIN(TextFileDecoderTest)
#include "tst_textfiledecoder.moc"
