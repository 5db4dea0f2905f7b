// errno / getaddrinfo -> Windows Sockets code numbers, and the texts of
// those codes. The texts are fixed English, so every socket error message
// keeps its number and text (including the trailing space of 10035).
#include "net/NetSocketError.h"

#include "base/Text.h"
#include "base/Translate.h"

#include <cerrno>
#include <netdb.h>

int SocketErrorFromErrno(int err) {
    switch (err) {
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
    case EPERM:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
    case ENFILE:
        return 10024;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    // A send on a connection the peer has reset: the same report as the reset.
    case EPIPE:
    case ECONNRESET:
        return 10054;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    default:
        return err;
    }
}

int SocketErrorFromLookup(int gaiResult, int errnoValue) {
    switch (gaiResult) {
    case 0:
        return 0;
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
#endif
        // The name exists in no form we can use: to the user the host is not found.
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_MEMORY:
        return 10055;
    case EAI_FAMILY:
        return 10047;
    case EAI_SOCKTYPE:
        return 10044;
    case EAI_SYSTEM:
        return SocketErrorFromErrno(errnoValue);
    default:
        return WSANO_RECOVERY;
    }
}

std::string SocketErrorText(int code) {
    switch (code) {
    case 10004:
        return Tr("NetSocketError", "Interrupted system call.");
    case 10009:
        return Tr("NetSocketError", "Bad file number.");
    case 10013:
        return Tr("NetSocketError", "Access denied.");
    case 10014:
        return Tr("NetSocketError", "Bad address.");
    case 10022:
        return Tr("NetSocketError", "Invalid argument.");
    case 10024:
        return Tr("NetSocketError", "Too many open files.");
    case 10035:
        return Tr("NetSocketError", "Operation would block. ");
    case 10036:
        return Tr("NetSocketError", "Operation now in progress.");
    case 10037:
        return Tr("NetSocketError", "Operation already in progress.");
    case 10038:
        return Tr("NetSocketError", "Socket operation on non-socket.");
    case 10039:
        return Tr("NetSocketError", "Destination address required.");
    case 10040:
        return Tr("NetSocketError", "Message too long.");
    case 10041:
        return Tr("NetSocketError", "Protocol wrong type for socket.");
    case 10042:
        return Tr("NetSocketError", "Bad protocol option.");
    case 10043:
        return Tr("NetSocketError", "Protocol not supported.");
    case 10044:
        return Tr("NetSocketError", "Socket type not supported.");
    case 10045:
        return Tr("NetSocketError", "Operation not supported on socket.");
    case 10046:
        return Tr("NetSocketError", "Protocol family not supported.");
    case 10047:
        return Tr("NetSocketError", "Address family not supported by protocol family.");
    case 10048:
        return Tr("NetSocketError", "Address already in use.");
    case 10049:
        return Tr("NetSocketError", "Cannot assign requested address.");
    case 10050:
        return Tr("NetSocketError", "Network is down.");
    case 10051:
        return Tr("NetSocketError", "Network is unreachable.");
    case 10052:
        return Tr("NetSocketError", "Net dropped connection or reset.");
    case 10053:
        return Tr("NetSocketError", "Software caused connection abort.");
    case 10054:
        return Tr("NetSocketError", "Connection reset by peer.");
    case 10055:
        return Tr("NetSocketError", "No buffer space available.");
    case 10056:
        return Tr("NetSocketError", "Socket is already connected.");
    case 10057:
        return Tr("NetSocketError", "Socket is not connected.");
    case 10058:
        return Tr("NetSocketError", "Cannot send or receive after socket is closed.");
    case 10059:
        return Tr("NetSocketError", "Too many references, cannot splice.");
    case 10060:
        return Tr("NetSocketError", "Connection timed out.");
    case 10061:
        return Tr("NetSocketError", "Connection refused.");
    case 10062:
        return Tr("NetSocketError", "Too many levels of symbolic links.");
    case 10063:
        return Tr("NetSocketError", "File name too long.");
    case 10064:
        return Tr("NetSocketError", "Host is down.");
    case 10065:
        return Tr("NetSocketError", "No route to host.");
    case 10066:
        return Tr("NetSocketError", "Directory not empty");
    case 11001:
        return Tr("NetSocketError", "Host not found.");
    default:
        return "";
    }
}

std::string SocketErrorMessage(int code) {
    return Tr("NetSocketError", "Socket Error # %1").Arg(code) + "\r\n" + SocketErrorText(code);
}
