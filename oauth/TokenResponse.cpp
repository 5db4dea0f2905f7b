// Token and device authorization answers; see TokenResponse.h.
#include "oauth/TokenResponse.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {

// Tokens of the large services run to a few kB; anything past 16 kB is no
// token of ours.
constexpr qsizetype MaxField = 16384;

bool ReadObject(const std::string& body, QJsonObject& object) {
    QJsonParseError error{};
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray(body.data(), qsizetype(body.size())), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    object = doc.object();
    return true;
}

std::string Text(const QJsonObject& o, const char* key) {
    const QJsonValue v = o.value(key);
    if (!v.isString())
        return "";
    const QByteArray bytes = v.toString().toUtf8();
    return bytes.size() > MaxField ? "" : bytes.toStdString();
}

// A count of seconds; 0 when missing, negative or absurd.
int64_t Seconds(const QJsonObject& o, const char* key, int64_t def) {
    const QJsonValue v = o.value(key);
    double d = -1;
    if (v.isDouble())
        d = v.toDouble();
    else if (v.isString()) {
        bool ok = false;
        d = v.toString().toLongLong(&ok);
        if (!ok)
            d = -1;
    }
    // A year is more than any token or code lives.
    if (!(d >= 0 && d <= 366.0 * 86400))
        return def;
    return int64_t(d);
}

} // namespace

bool ParseTokenResponse(const std::string& body, TTokenResponse& r) {
    r = TTokenResponse();
    QJsonObject o;
    if (!ReadObject(body, o))
        return false;
    r.AccessToken = Text(o, "access_token");
    r.RefreshToken = Text(o, "refresh_token");
    r.ExpiresIn = Seconds(o, "expires_in", 0);
    r.Error = PrintableText(Text(o, "error"), 64);
    r.ErrorDescription = PrintableText(Text(o, "error_description"));
    return true;
}

bool ParseDeviceAuthorization(const std::string& body, TDeviceAuthorization& a) {
    a = TDeviceAuthorization();
    QJsonObject o;
    if (!ReadObject(body, o))
        return false;
    a.DeviceCode = Text(o, "device_code");
    // Shown to the user: printable only.
    a.UserCode = PrintableText(Text(o, "user_code"), 64);
    a.VerificationUri = PrintableText(Text(o, "verification_uri"), 2000);
    if (a.VerificationUri.empty())
        a.VerificationUri = PrintableText(Text(o, "verification_url"), 2000);
    a.VerificationUriComplete = PrintableText(Text(o, "verification_uri_complete"), 2000);
    a.ExpiresIn = Seconds(o, "expires_in", 0);
    a.Interval = Seconds(o, "interval", 5);
    return true;
}

std::string PrintableText(const std::string& text, size_t max) {
    std::string out;
    for (char c : text) {
        if (out.size() == max)
            break;
        out += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return out;
}
