// Messages of the delivery errors that are built from a code.
#include "mail/delivery/NetDeliveryException.h"

#include "mail/delivery/NetSocketError.h"

ENetSocketError::ENetSocketError(int code) : ENetException(SocketErrorMessage(code)), Code(code) {}
