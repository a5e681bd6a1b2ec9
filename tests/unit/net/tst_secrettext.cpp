#include "net/SecretText.h"

#include <QtTest>

using veltrano::secretPreview;

class SecretTextTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showsOnlyTheFirstFourCharacters_data()
    {
        QTest::addColumn<QString>("secret");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty: nothing to hide") << QString() << QString();
        QTest::newRow("shorter than four") << QStringLiteral("123") << QStringLiteral("123...");
        QTest::newRow("Yandex code") << QStringLiteral("4821937") << QStringLiteral("4821...");
        QTest::newRow("Google code") << QStringLiteral("4/0AeanS0Zx") << QStringLiteral("4/0A...");
        QTest::newRow("token") << QStringLiteral("y0_AgAAAAA1") << QStringLiteral("y0_A...");
        // A character beyond the BMP counts as one and is never cut in half.
        QTest::newRow("surrogate pair") << QStringLiteral("ab\U0001F600cd") << QStringLiteral("ab\U0001F600c...");
    }
    void showsOnlyTheFirstFourCharacters()
    {
        QFETCH(QString, secret);
        QFETCH(QString, shown);
        QCOMPARE(secretPreview(secret), shown);
    }
};

QTEST_GUILESS_MAIN(SecretTextTest)
#include "tst_secrettext.moc"
