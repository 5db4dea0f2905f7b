// The default EHLO/HELO name; see NetHeloName.h.
#include "smtp/NetHeloName.h"

#include "net/NetIOHandlerSocket.h"
#include "net/NetIOHandlerTLS.h"
#include "platform/Network.h"

std::string DefaultHeloName(const std::string& hostName, const std::string& localIP) {
    if (hostName.find('.') != std::string::npos || localIP.empty())
        return hostName;
    // A zone ("%eth0") means something only on this host; RFC 5321 4.1.3
    // has no place for it.
    if (localIP.find(':') != std::string::npos)
        return "[IPv6:" + localIP.substr(0, localIP.find('%')) + "]";
    return "[" + localIP + "]";
}

std::string LocalAddressOf(TNetIOHandler* transport) {
    if (auto* tls = dynamic_cast<TNetIOHandlerTLS*>(transport))
        transport = &tls->Inner();
    auto* socket = dynamic_cast<TNetIOHandlerSocket*>(transport);
    if (!socket || !socket->Binding() || !socket->Connected())
        return "";
    return socket->Binding()->IP;
}

std::string LocalHeloName(TNetIOHandler* transport) {
    return DefaultHeloName(GetFullyQualifiedHostName(), LocalAddressOf(transport));
}
