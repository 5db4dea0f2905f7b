// Message texts of the shared exceptions.
#include "base/Exception.h"

#include "base/Translate.h"

#include <cstring>

EFCreateError::EFCreateError(const std::string& path, const std::string& reason)
    : Exception(Tr("Exception", "Cannot create file \"%1\". %2").Arg(path, reason)) {}

EFOpenError::EFOpenError(const std::string& path, const std::string& reason)
    : Exception(Tr("Exception", "Cannot open file \"%1\". %2").Arg(path, reason)) {}

std::string SystemErrorText(int err) {
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(err, buf, sizeof buf);
    return text ? std::string(text) : std::string("Unknown error");
}
