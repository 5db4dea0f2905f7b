// International addresses for SMTP; see NetInternationalAddress.h.
#include "smtp/NetInternationalAddress.h"

#include "mail/message/NetMessage.h"
#include "net/NetIdna.h"

namespace {

// Every address the header shows, in one order for both ways.
std::vector<std::string*> HeaderAddresses(TNetMessage& message) {
    std::vector<std::string*> out{&message.From.Address};
    for (TNetEMailAddressList* list : {&message.Recipients, &message.CCList})
        for (TNetEMailAddressItem& item : list->Items)
            out.push_back(&item.Address);
    return out;
}

} // namespace

std::string FirstUTF8LocalPart(const std::vector<std::string>& addresses) {
    for (const std::string& a : addresses) {
        const size_t at = a.rfind('@');
        if (!IsASCII(at == std::string::npos ? a : a.substr(0, at)))
            return a;
    }
    return std::string();
}

std::string ASCIIDomainAddress(const std::string& address) {
    std::string result;
    if (!AddressToASCIIDomain(address, result))
        throw ENetInvalidDomain(address);
    return result;
}

TASCIIDomainHeaders::TASCIIDomainHeaders(TNetMessage& message) : FMessage(message) {
    std::vector<std::string*> addresses = HeaderAddresses(message);
    std::vector<std::string> ascii;
    for (std::string* a : addresses)
        ascii.push_back(ASCIIDomainAddress(*a));
    for (size_t i = 0; i < addresses.size(); ++i) {
        FTyped.push_back(*addresses[i]);
        *addresses[i] = ascii[i];
    }
}

TASCIIDomainHeaders::~TASCIIDomainHeaders() {
    std::vector<std::string*> addresses = HeaderAddresses(FMessage);
    for (size_t i = 0; i < addresses.size() && i < FTyped.size(); ++i)
        *addresses[i] = FTyped[i];
}
