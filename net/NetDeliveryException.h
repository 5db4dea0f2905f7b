// Error classes of the delivery layer: sockets, the stack, connects and the
// TCP connection. Each carries its fixed English message; ENetSocketError
// also carries the Windows Sockets code number the message is built from.
#pragma once

#include "base/NetException.h"
#include "base/Translate.h"

#include <string>

// "Socket Error # <code>" CR LF <text of the code>.
class ENetSocketError : public ENetException {
public:
    explicit ENetSocketError(int code);
    ENetSocketError(int code, const std::string& message) : ENetException(message), Code(code) {}
    int Code;
};

class ENetSocketHandleError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetStackError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetStackInitializationFailed : public ENetStackError {
public:
    ENetStackInitializationFailed()
        : ENetStackError(Tr("NetDeliveryException", "Winsock Initialization Error.")) {}
};

class ENetInvalidSocket : public ENetException {
public:
    ENetInvalidSocket() : ENetException(Tr("NetDeliveryException", "Cannot allocate socket.")) {}
};

class ENetCouldNotBindSocket : public ENetSocketHandleError {
public:
    ENetCouldNotBindSocket()
        : ENetSocketHandleError(Tr("NetDeliveryException",
                                   "Could not bind socket. Address and port are already in use.")) {
    }
};

class ENetConnectTimeout : public ENetException {
public:
    ENetConnectTimeout() : ENetException(Tr("NetDeliveryException", "Connect timed out.")) {}
};

// A connect that failed; the message is the socket error's message, Code
// its number (10061 for a refusal), so callers can tell a refusal or an
// unreachable host from a local fault.
class ENetConnectException : public ENetException {
public:
    ENetConnectException(int code, const std::string& message)
        : ENetException(message), Code(code) {}
    int Code;
};

class ENetSilentException : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetTCPConnectionError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetConnClosedGracefully : public ENetSilentException {
public:
    ENetConnClosedGracefully()
        : ENetSilentException(Tr("NetDeliveryException", "Connection Closed Gracefully.")) {}
};

class ENetNotEnoughDataInBuffer : public ENetTCPConnectionError {
public:
    ENetNotEnoughDataInBuffer()
        : ENetTCPConnectionError(Tr("NetDeliveryException", "Not enough data in buffer.")) {}
};

class ENetClosedSocket : public ENetException {
public:
    ENetClosedSocket() : ENetException(Tr("NetDeliveryException", "Disconnected.")) {}
};

class ENetNotConnected : public ENetTCPConnectionError {
public:
    ENetNotConnected() : ENetTCPConnectionError(Tr("NetDeliveryException", "Not Connected")) {}
};

class ENetAlreadyConnected : public ENetException {
public:
    ENetAlreadyConnected() : ENetException(Tr("NetDeliveryException", "Already connected.")) {}
};

class ENetReadTimeout : public ENetException {
public:
    ENetReadTimeout() : ENetException(Tr("NetDeliveryException", "Read Timeout")) {}
};

class ENetReadLnMaxLineLengthExceeded : public ENetException {
public:
    ENetReadLnMaxLineLengthExceeded()
        : ENetException(Tr("NetDeliveryException", "Max line length exceeded.")) {}
};

// Raised with the reply's text; carries the numeric code of the reply.
class ENetProtocolReplyError : public ENetException {
public:
    ENetProtocolReplyError(int replyCode, const std::string& message)
        : ENetException(message), ReplyErrorCode(replyCode) {}
    int ReplyErrorCode;
};

// A reply past the caps of one reply (lines, bytes, empty lines before it).
class ENetReplyTooLong : public ENetException {
public:
    ENetReplyTooLong() : ENetException(Tr("NetDeliveryException", "Server reply too long.")) {}
};

// A protocol line with CR or LF inside: sent, it would start a new command.
class ENetLineBreakInCommand : public ENetException {
public:
    ENetLineBreakInCommand()
        : ENetException(Tr("NetDeliveryException", "Line break inside a command line refused.")) {}
};
