// International domain names (RFC 5890, 5891): the A-label ("xn--") form
// a name with non-ASCII letters is looked up and written in, made by
// libidn2 with the UTS #46 mapping (non-transitional), never by hand.
// Plain ASCII names pass unchanged; what a label may hold is the caller's
// check.
#pragma once

#include <string>

// True when text holds only 7-bit characters.
bool IsASCII(const std::string& text);

// domain (UTF-8) in A-label form into ascii; false when it is no valid
// international domain name. An ASCII domain is copied as it is.
bool DomainToASCII(const std::string& domain, std::string& ascii);

// address ("local@domain") with its domain in A-label form; false when
// the domain is no valid international domain name. The local part stays.
bool AddressToASCIIDomain(const std::string& address, std::string& result);
