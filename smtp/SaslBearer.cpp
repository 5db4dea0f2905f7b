// Bearer-token SASL messages; see SaslBearer.h.
#include "smtp/SaslBearer.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// RFC 5801's saslname: "," and "=" would end or confuse the gs2 header.
std::string SaslName(const std::string& user) {
    std::string out;
    for (char c : user) {
        if (c == ',')
            out += "=2C";
        else if (c == '=')
            out += "=3D";
        else
            out += c;
    }
    return out;
}

constexpr char Ctrl_A = '\x01';
constexpr size_t MaxStatusLength = 64;

} // namespace

std::string OAuthBearerInitialResponse(const std::string& user, const std::string& host, int port,
                                       const std::string& token) {
    return "n,a=" + SaslName(user) + "," + Ctrl_A + "host=" + host + Ctrl_A +
           "port=" + std::to_string(port) + Ctrl_A + "auth=Bearer " + token + Ctrl_A + Ctrl_A;
}

std::string XOAuth2InitialResponse(const std::string& user, const std::string& token) {
    return "user=" + user + Ctrl_A + "auth=Bearer " + token + Ctrl_A + Ctrl_A;
}

TBearerChallenge ParseBearerChallenge(const std::string& json) {
    TBearerChallenge result;
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(json.data(), qsizetype(json.size())), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return result;
    const QJsonValue status = doc.object().value("status");
    if (!status.isString())
        return result;
    // The server's words go into a message: printable ASCII only, and short.
    for (char c : status.toString().toStdString()) {
        if (result.Status.size() == MaxStatusLength)
            break;
        result.Status += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return result;
}
