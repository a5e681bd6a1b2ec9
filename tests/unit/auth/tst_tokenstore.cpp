#include "app/VeltranoError.h"
#include "auth/RefreshTokenStore.h"
#include "auth/SettingsFile.h"
#include "auth/TokenStore.h"
#include "services/yandex_metrika/YandexMetrikaDescriptor.h"
#include "services/yandex_webmaster/YandexWebmasterDescriptor.h"

#include <QtTest>

using veltrano::SettingsFile;
using veltrano::TokenStore;
using veltrano::VeltranoError;
namespace settings = veltrano::settings;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray TwoAccounts("[YandexWM_Token]\ntoken_1=AAA\ntoken_2=BBB\n\n[Settings]\nreq-predelay=1300\n");

} // namespace

class TokenStoreTest : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_path;

    TokenStore store() const { return TokenStore(SettingsFile(m_path), settings::YandexWebmasterTokens); }

    void writeFile(const QByteArray &content)
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("Veltrano.ini"));
        QFile::remove(m_path);
    }

    void newAccountGetsNextFreeAlias_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("aliasesAfter");

        QTest::newRow("no file") << QByteArray() << QStringList{"token_1"};
        QTest::newRow("two entries") << QByteArray("[YandexWM_Token]\ntoken_1=a\ntoken_2=b\n")
                                     << QStringList{"token_1", "token_2", "token_3"};
        QTest::newRow("renamed entries") << QByteArray("[YandexWM_Token]\nmine=a\n") << QStringList{"mine", "token_2"};
        // After deleting token_2 of three, the count gives token_3, which is taken.
        QTest::newRow("count names a taken alias")
            << QByteArray("[YandexWM_Token]\ntoken_1=a\ntoken_3=c\n") << QStringList{"token_1", "token_3", "token_4"};
        QTest::newRow("taken in other letter case")
            << QByteArray("[yandexwm_token]\nTOKEN_2=a\nToken_3=b\n") << QStringList{"TOKEN_2", "Token_3", "token_4"};
    }

    void newAccountGetsNextFreeAlias()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, aliasesAfter);
        if (!content.isEmpty())
            writeFile(content);
        const QStringList before = store().aliases();
        QCOMPARE(store().addToken(QStringLiteral("NEW")), aliasesAfter.last());
        QCOMPARE(store().aliases(), aliasesAfter);
        QCOMPARE(store().token(aliasesAfter.last()), QStringLiteral("NEW"));
        for (const QString &alias : before) // earlier tokens are untouched
            QVERIFY(store().token(alias) != QLatin1String("NEW"));
    }

    void renames_data()
    {
        QTest::addColumn<QString>("newAlias");
        QTest::addColumn<QString>("refusal"); // empty: accepted
        QTest::addColumn<QStringList>("aliasesAfter");

        const QStringList unchanged{"token_1", "token_2"};
        QTest::newRow("new alias goes last") << "Main site"
                                             << "" << QStringList{"token_2", "Main site"};
        QTest::newRow("same alias moves last") << "token_1"
                                               << "" << QStringList{"token_2", "token_1"};
        QTest::newRow("same alias in new letter case") << "Token_1"
                                                       << "" << QStringList{"token_2", "Token_1"};
        QTest::newRow("non-ASCII") << QString::fromUtf8("\xD0\xA1\xD0\xB0\xD0\xB9\xD1\x82") << ""
                                   << QStringList{"token_2", QString::fromUtf8("\xD0\xA1\xD0\xB0\xD0\xB9\xD1\x82")};
        QTest::newRow("taken by another entry")
            << "token_2"
            << "The alias \"token_2\" is already used by another token" << unchanged;
        QTest::newRow("taken, other letter case")
            << "TOKEN_2"
            << "The alias \"TOKEN_2\" is already used by another token" << unchanged;
        QTest::newRow("=") << "a=b"
                           << "An alias cannot contain \"=\" or a line break" << unchanged;
        QTest::newRow("line break") << "a\nb"
                                    << "An alias cannot contain \"=\" or a line break" << unchanged;
        QTest::newRow("[ first") << "[x]"
                                 << "An alias cannot begin with \"[\" or \";\"" << unchanged;
        QTest::newRow("; first") << ";x"
                                 << "An alias cannot begin with \"[\" or \";\"" << unchanged;
        QTest::newRow("leading blank") << " x"
                                       << "An alias cannot begin or end with a blank" << unchanged;
        QTest::newRow("trailing blank") << "x "
                                        << "An alias cannot begin or end with a blank" << unchanged;
        QTest::newRow("blanks only") << "   "
                                     << "An alias cannot be empty" << unchanged;
    }

    void renames()
    {
        QFETCH(QString, newAlias);
        QFETCH(QString, refusal);
        QFETCH(QStringList, aliasesAfter);
        writeFile(TwoAccounts);
        QCOMPARE(store().aliasProblem(newAlias, QStringLiteral("token_1")), refusal);
        if (refusal.isEmpty()) {
            QVERIFY(store().rename(QStringLiteral("token_1"), newAlias));
            QCOMPARE(store().token(newAlias), QStringLiteral("AAA"));
        } else {
            try {
                store().rename(QStringLiteral("token_1"), newAlias);
                QFAIL("the rename went through");
            } catch (const VeltranoError &error) {
                QCOMPARE(error.message(), refusal);
            }
            QCOMPARE(readBytes(m_path), TwoAccounts); // both tokens kept, nothing moved
        }
        QCOMPARE(store().aliases(), aliasesAfter);
        QCOMPARE(store().token(QStringLiteral("token_2")), QStringLiteral("BBB"));
    }

    void renameToEmptyChangesNothing()
    {
        writeFile(TwoAccounts);
        QVERIFY(!store().rename(QStringLiteral("token_1"), QString()));
        QCOMPARE(readBytes(m_path), TwoAccounts);
    }

    void renamedEntryStaysInItsSection()
    {
        writeFile(TwoAccounts);
        QVERIFY(store().rename(QStringLiteral("token_1"), QStringLiteral("main")));
        QCOMPARE(readBytes(m_path),
                 QByteArray("[YandexWM_Token]\ntoken_2=BBB\nmain=AAA\n\n[Settings]\nreq-predelay=1300\n"));
    }

    void removes()
    {
        writeFile(TwoAccounts);
        store().remove(QStringLiteral("Token_1"));
        QCOMPARE(store().aliases(), QStringList{QStringLiteral("token_2")});
        QCOMPARE(store().token(QStringLiteral("token_2")), QStringLiteral("BBB"));
        store().remove(QStringLiteral("token_9")); // missing: nothing happens
        QCOMPARE(store().aliases(), QStringList{QStringLiteral("token_2")});
        // The count is 1 again, but token_2 is taken.
        QCOMPARE(store().addToken(QStringLiteral("CCC")), QStringLiteral("token_3"));
    }

    void sectionsAreIndependent()
    {
        writeFile(TwoAccounts);
        TokenStore metrika(SettingsFile(m_path), settings::YandexMetrikaTokens);
        QVERIFY(metrika.aliases().isEmpty());
        QCOMPARE(metrika.token(QStringLiteral("token_1")), QString());
        QCOMPARE(metrika.addToken(QStringLiteral("M")), QStringLiteral("token_1"));
        QCOMPARE(store().token(QStringLiteral("token_1")), QStringLiteral("AAA"));
    }

    // The refresh token and expiry of an account travel with it: a rename
    // moves them, a delete removes them, each in one write, and entries a
    // former account left behind under the new alias are dropped. The
    // token section keeps only "alias=access token" entries, so an earlier
    // version lists exactly the accounts.
    void renewalEntriesFollowTheAccount_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("operation"); // "rename <new>" or "delete"
        QTest::addColumn<QByteArray>("expected");

        const QByteArray withRenewal("[YandexWM_Token]\ntoken_1=AAA\ntoken_2=BBB\n"
                                     "[YandexWM_Token_Refresh]\ntoken_1=R1\ntoken_2=R2\n"
                                     "[YandexWM_Token_Expiry]\ntoken_1=1800000000\n");
        QTest::newRow("rename moves them")
            << withRenewal << QStringLiteral("rename site")
            << QByteArray("[YandexWM_Token]\ntoken_2=BBB\nsite=AAA\n"
                          "[YandexWM_Token_Refresh]\ntoken_2=R2\nsite=R1\n"
                          "[YandexWM_Token_Expiry]\nsite=1800000000\n");
        QTest::newRow("rename drops an orphan under the new alias")
            << QByteArray("[YandexWM_Token]\ntoken_1=AAA\n[YandexWM_Token_Refresh]\nsite=OLD\n"
                          "[YandexWM_Token_Expiry]\nsite=1\n")
            << QStringLiteral("rename site")
            << QByteArray("[YandexWM_Token]\nsite=AAA\n[YandexWM_Token_Refresh]\n[YandexWM_Token_Expiry]\n");
        QTest::newRow("delete removes them")
            << withRenewal << QStringLiteral("delete")
            << QByteArray("[YandexWM_Token]\ntoken_2=BBB\n[YandexWM_Token_Refresh]\ntoken_2=R2\n"
                          "[YandexWM_Token_Expiry]\n");
        QTest::newRow("file of the earlier version")
            << QByteArray("[YandexWM_Token]\ntoken_1=AAA\n") << QStringLiteral("rename site")
            << QByteArray("[YandexWM_Token]\nsite=AAA\n");
    }
    void renewalEntriesFollowTheAccount()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, operation);
        QFETCH(QByteArray, expected);
        writeFile(content);
        if (operation == QLatin1String("delete"))
            store().remove(QStringLiteral("token_1"));
        else
            QVERIFY(store().rename(QStringLiteral("token_1"), operation.section(QLatin1Char(' '), 1)));
        QCOMPARE(readBytes(m_path), expected);
    }

    void newAccountKeepsItsRenewalBesideItsToken()
    {
        // A refresh entry left by a deleted account must not join the new one.
        writeFile("[YandexWM_Token]\ntoken_1=AAA\n[YandexWM_Token_Refresh]\ntoken_2=STALE\n");
        const QDateTime expiry = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);
        QCOMPARE(store().addAccount(QStringLiteral("BBB"), QString(), expiry), QStringLiteral("token_2"));
        QCOMPARE(store().addAccount(QStringLiteral("CCC"), QStringLiteral("R3"), {}), QStringLiteral("token_3"));
        QCOMPARE(readBytes(m_path), QByteArray("[YandexWM_Token]\ntoken_1=AAA\ntoken_2=BBB\ntoken_3=CCC\n"
                                               "[YandexWM_Token_Refresh]\ntoken_3=R3\n"
                                               "[YandexWM_Token_Expiry]\ntoken_2=1800000000\n"));
        // What an earlier version lists: the aliases, each with its access token.
        const SettingsFile file(m_path);
        QCOMPARE(file.keys(settings::YandexWebmasterTokens), (QStringList{"token_1", "token_2", "token_3"}));
        QCOMPARE(file.readString(settings::YandexWebmasterTokens, QStringLiteral("token_3")), QStringLiteral("CCC"));
        const veltrano::RefreshTokenStore renewal(file, settings::YandexWebmasterTokens);
        QCOMPARE(renewal.read(QStringLiteral("token_3")).refreshToken, QStringLiteral("R3"));
        QCOMPARE(renewal.read(QStringLiteral("token_2")).expiry, expiry);
    }

    void unusableRenewalEntriesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("refresh");
        QTest::addColumn<bool>("expiryValid");
        QTest::newRow("orphan") << QByteArray("[YandexWM_Token_Refresh]\ntoken_1=R\n[YandexWM_Token_Expiry]\ntoken_1=5\n")
                                << QString() << false;
        QTest::newRow("expiry no number")
            << QByteArray("[YandexWM_Token]\ntoken_1=A\n[YandexWM_Token_Refresh]\ntoken_1=R\n"
                          "[YandexWM_Token_Expiry]\ntoken_1=soon\n")
            << QStringLiteral("R") << false;
        QTest::newRow("expiry out of range")
            << QByteArray("[YandexWM_Token]\ntoken_1=A\n[YandexWM_Token_Expiry]\ntoken_1=99999999999999999999\n")
            << QString() << false;
        QTest::newRow("negative expiry")
            << QByteArray("[YandexWM_Token]\ntoken_1=A\n[YandexWM_Token_Expiry]\ntoken_1=-5\n") << QString() << false;
        QTest::newRow("hexadecimal") << QByteArray("[YandexWM_Token]\ntoken_1=A\n[YandexWM_Token_Expiry]\ntoken_1=0x10\n"
                                            "[YandexWM_Token_Expiry]\n")
                              << QString() << false;
    }
    void unusableRenewalEntriesAreIgnored()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, refresh);
        QFETCH(bool, expiryValid);
        writeFile(content);
        const veltrano::RefreshTokenStore renewal(SettingsFile(m_path), settings::YandexWebmasterTokens);
        const veltrano::RefreshTokenStore::Entry entry = renewal.read(QStringLiteral("token_1"));
        QCOMPARE(entry.refreshToken, refresh);
        QCOMPARE(entry.expiry.isValid(), expiryValid);
    }
};

QTEST_GUILESS_MAIN(TokenStoreTest)
#include "tst_tokenstore.moc"
