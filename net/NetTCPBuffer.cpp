// Input buffer with a consumed-prefix offset.
#include "net/NetTCPBuffer.h"

#include "net/NetDeliveryException.h"

std::string TNetManagedBuffer::Extract(size_t count) {
    if (count > Size())
        throw ENetNotEnoughDataInBuffer();
    std::string s(Data(), count);
    Remove(count);
    return s;
}

void TNetManagedBuffer::Remove(size_t count) {
    if (count > Size())
        throw ENetNotEnoughDataInBuffer();
    FOffset += count;
    if (FOffset == FData.size())
        Clear();
    else if (FOffset >= CompactAt) {
        FData.erase(0, FOffset);
        FOffset = 0;
    }
}
