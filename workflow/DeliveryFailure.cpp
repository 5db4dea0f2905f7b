// Temporary or permanent delivery failures; see DeliveryFailure.h.
#include "workflow/DeliveryFailure.h"

#include "dns/DnsReader.h"
#include "net/NetDeliveryException.h"
#include "net/NetSocketError.h"

namespace {

// Socket errors of a network or host that is not there now.
bool PassingSocketError(int code) {
    switch (code) {
    case 10050: // network down
    case 10051: // network unreachable
    case WSAECONNABORTED:
    case WSAECONNRESET:
    case WSAETIMEDOUT:
    case WSAECONNREFUSED:
    case 10064:        // host down
    case 10065:        // host unreachable
    case WSATRY_AGAIN: // the system resolver could not ask now
        return true;
    default:
        return false;
    }
}

} // namespace

bool IsTemporaryFailure(const std::exception& error) {
    if (const auto* reply = dynamic_cast<const ENetProtocolReplyError*>(&error))
        return reply->ReplyErrorCode >= 400 && reply->ReplyErrorCode < 500;
    if (const auto* socket = dynamic_cast<const ENetSocketError*>(&error))
        return PassingSocketError(socket->Code);
    if (const auto* connect = dynamic_cast<const ENetConnectException*>(&error))
        return PassingSocketError(connect->Code);
    return dynamic_cast<const ENetConnectTimeout*>(&error) ||
           // The connection ended or went silent before the reply to ".".
           dynamic_cast<const ENetConnClosedGracefully*>(&error) ||
           dynamic_cast<const ENetClosedSocket*>(&error) ||
           dynamic_cast<const ENetNotConnected*>(&error) ||
           dynamic_cast<const ENetReadTimeout*>(&error) ||
           dynamic_cast<const ENetDnsTimedOut*>(&error) ||
           dynamic_cast<const ENetDnsServerFailure*>(&error);
}
