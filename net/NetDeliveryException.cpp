// Messages of the delivery errors that are built from a code.
#include "net/NetDeliveryException.h"

#include "net/NetSocketError.h"

ENetSocketError::ENetSocketError(int code) : ENetException(SocketErrorMessage(code)), Code(code) {}
