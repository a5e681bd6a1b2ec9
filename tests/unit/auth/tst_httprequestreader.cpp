#include "auth/HttpRequestReader.h"

#include <QtTest>

using veltrano::HttpRequestHead;
using veltrano::HttpRequestReader;

Q_DECLARE_METATYPE(HttpRequestReader::Status)

namespace {

constexpr std::size_t kLimit = 64;

} // namespace

class HttpRequestReaderTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Whatever the size of the pieces the bytes come in, the outcome is the
    // same: every row is read in pieces of 1, 2, 3, 5 and all bytes at once.
    void readsRequestsInAnyPieces_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<HttpRequestReader::Status>("status");
        QTest::addColumn<int>("refusal");
        QTest::addColumn<QByteArray>("head"); // of a complete request
        using S = HttpRequestReader::Status;

        QTest::newRow("browser return") << QByteArray("GET /Callback?code=1 HTTP/1.1\r\nHost: h\r\n\r\n") << S::Complete
                                        << 0 << QByteArray("GET /Callback?code=1 HTTP/1.1\r\nHost: h");
        QTest::newRow("head not ended yet")
            << QByteArray("GET / HTTP/1.1\r\nHost: h\r\n") << S::Incomplete << 0 << QByteArray();
        QTest::newRow("body read to its length")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc") << S::Complete << 0
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: 3");
        QTest::newRow("body still coming")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nabc") << S::Incomplete << 0 << QByteArray();
        QTest::newRow("header name in any case")
            << QByteArray("POST / HTTP/1.1\r\ncontent-length:  2 \r\n\r\nab") << S::Complete << 0
            << QByteArray("POST / HTTP/1.1\r\ncontent-length:  2 ");
        QTest::newRow("length with a sign")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: +3\r\n\r\nabc") << S::Refused << 400 << QByteArray();
        QTest::newRow("length not a number")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: 3x\r\n\r\nabc") << S::Refused << 400 << QByteArray();
        QTest::newRow("two different lengths")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 4\r\n\r\nabcd") << S::Refused << 400
            << QByteArray();
        QTest::newRow("body over the limit")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: 65\r\n\r\n") << S::Refused << 413 << QByteArray();
        QTest::newRow("length beyond any number")
            << QByteArray("POST / HTTP/1.1\r\nContent-Length: 99999999999999999999999999\r\n\r\n") << S::Refused << 413
            << QByteArray();
        QTest::newRow("head over the limit")
            << QByteArray("GET /" + QByteArray(80, 'a') + " HTTP/1.1\r\n\r\n") << S::Refused << 431 << QByteArray();
        QTest::newRow("endless head") << QByteArray(200, 'a') << S::Refused << 431 << QByteArray();
    }
    void readsRequestsInAnyPieces()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(HttpRequestReader::Status, status);
        QFETCH(int, refusal);
        QFETCH(QByteArray, head);
        for (qsizetype piece : {qsizetype(1), qsizetype(2), qsizetype(3), qsizetype(5), bytes.size()}) {
            HttpRequestReader reader(kLimit);
            for (qsizetype at = 0; at < bytes.size(); at += piece)
                reader.feed(bytes.constData() + at, std::size_t(std::min(piece, bytes.size() - at)));
            QCOMPARE(reader.status(), status);
            QCOMPARE(reader.refusal(), refusal);
            if (status == HttpRequestReader::Status::Complete)
                QCOMPARE(QByteArray::fromStdString(reader.head()), head);
        }
    }

    void splitsTheHead()
    {
        HttpRequestHead head;
        QVERIFY(HttpRequestReader::parseHead("GET /Callback?state=a%2Bb&code=4%2F0A&flag&&x=1+2&%zz=%4 "
                                             "HTTP/1.1\r\nX-Host: no\r\nhost:  localhost:42361 ",
                                             head));
        QCOMPARE(head.method, std::string("GET"));
        QCOMPARE(head.path, std::string("/Callback"));
        QCOMPARE(head.host, std::string("localhost:42361"));
        const std::vector<std::pair<std::string, std::string>> params{
            {"state", "a+b"}, {"code", "4/0A"}, {"flag", ""}, {"x", "1 2"}, {"%zz", "%4"}};
        QCOMPARE(head.params, params);

        QVERIFY(!HttpRequestReader::parseHead("GET", head));
        QVERIFY(!HttpRequestReader::parseHead(" / HTTP/1.1", head));
        QVERIFY(HttpRequestReader::parseHead("GET / HTTP/1.1", head));
        QVERIFY(head.host.empty() && head.params.empty());
    }
};

QTEST_GUILESS_MAIN(HttpRequestReaderTest)
#include "tst_httprequestreader.moc"
