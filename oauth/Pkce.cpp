// PKCE and state; see Pkce.h.
#include "oauth/Pkce.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QRandomGenerator>

namespace {

std::string RandomBase64Url(int bytes) {
    QByteArray raw(bytes, '\0');
    // The system's source (getrandom): a verifier must not be guessable.
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(raw.data()), bytes / 4);
    return raw.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

} // namespace

std::string NewCodeVerifier() {
    return RandomBase64Url(32);
}

std::string CodeChallenge(const std::string& verifier) {
    return QCryptographicHash::hash(QByteArray::fromStdString(verifier), QCryptographicHash::Sha256)
        .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

std::string NewState() {
    return RandomBase64Url(16);
}
