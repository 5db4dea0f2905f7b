// A-labels through libidn2; see NetIdna.h.
#include "net/NetIdna.h"

#include <cstdlib>
#include <idn2.h>

bool IsASCII(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

bool DomainToASCII(const std::string& domain, std::string& ascii) {
    if (IsASCII(domain)) {
        ascii = domain;
        return true;
    }
    char* out = nullptr;
    // NFC first: a name typed with combining marks is the same name.
    const int r = idn2_to_ascii_8z(domain.c_str(), &out, IDN2_NFC_INPUT | IDN2_NONTRANSITIONAL);
    if (r != IDN2_OK || !out) {
        idn2_free(out);
        return false;
    }
    ascii = out;
    idn2_free(out);
    return true;
}

bool AddressToASCIIDomain(const std::string& address, std::string& result) {
    const size_t at = address.rfind('@');
    if (at == std::string::npos || IsASCII(address.substr(at + 1))) {
        result = address;
        return true;
    }
    std::string domain;
    if (!DomainToASCII(address.substr(at + 1), domain))
        return false;
    result = address.substr(0, at + 1) + domain;
    return true;
}
