// Locale codeset conversion through Qt's local-8-bit codec.
#include "app/TextCodec.h"

QString ToQt(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string FromQt(const QString& text) {
    QByteArray bytes = text.toLocal8Bit();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}
