// Exception: the one base of every error this program raises. It carries the
// message text that the application-wide handler shows; subclasses only add a
// type, never state that the handler would need to know about.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

// File errors shared by every subsystem that creates or opens files.
class EFCreateError : public Exception {
public:
    // "Cannot create file "<path>". <reason>"
    EFCreateError(const std::string& path, const std::string& reason);
};

class EFOpenError : public Exception {
public:
    // "Cannot open file "<path>". <reason>"
    EFOpenError(const std::string& path, const std::string& reason);
};

// Integer conversion failure: "'<text>' is not a valid integer value".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The system's text for an errno value, as strerror gives it.
std::string SystemErrorText(int err);
