#include "auth/SignInProof.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QRandomGenerator>

namespace veltrano {

namespace {

QString randomBase64Url(int bytes)
{
    QByteArray raw(bytes, Qt::Uninitialized);
    QRandomGenerator *random = QRandomGenerator::system();
    for (char &byte : raw)
        byte = char(random->bounded(256));
    return QString::fromLatin1(raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace

SignInProof SignInProof::generate()
{
    return SignInProof{randomBase64Url(32), randomBase64Url(48)};
}

QString SignInProof::challengeOf(const QString &codeVerifier)
{
    const QByteArray digest = QCryptographicHash::hash(codeVerifier.toLatin1(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

} // namespace veltrano
