// International addresses in an SMTP transaction (RFC 6531, RFC 5890): a
// local part with non-ASCII letters can go only to a server that offers
// SMTPUTF8, and then goes as typed; to any other server a domain with
// non-ASCII letters goes in its A-label form, in the envelope and in the
// From, To and Cc headers alike. The message model keeps what was typed,
// so .eml files do too.
#pragma once

#include "base/NetException.h"
#include "base/Translate.h"

#include <string>
#include <vector>

class TNetMessage;

// The server does not offer SMTPUTF8 and an address needs it.
class ENetSMTPUTF8Required : public ENetException {
public:
    ENetSMTPUTF8Required(const std::string& host, const std::string& address)
        : ENetException(
              Tr("NetSMTP",
                 "The server %1 cannot take the address '%2' (it does not offer SMTPUTF8).")
                  .Arg(host, address)) {}
};

// An address whose domain no IDNA conversion accepts.
class ENetInvalidDomain : public ENetException {
public:
    explicit ENetInvalidDomain(const std::string& address)
        : ENetException(
              Tr("NetSMTP", "The domain of '%1' is not a valid international domain name.")
                  .Arg(address)) {}
};

// The first of addresses whose local part has non-ASCII letters; empty
// when none has.
std::string FirstUTF8LocalPart(const std::vector<std::string>& addresses);

// address with its domain in A-label form; raises ENetInvalidDomain.
std::string ASCIIDomainAddress(const std::string& address);

// While it lives, the message's From, To and Cc addresses carry their
// domains in A-label form; the typed ones come back when it goes, however
// the write ends. Raises ENetInvalidDomain (changing nothing).
class TASCIIDomainHeaders {
public:
    explicit TASCIIDomainHeaders(TNetMessage& message);
    ~TASCIIDomainHeaders();
    TASCIIDomainHeaders(const TASCIIDomainHeaders&) = delete;
    TASCIIDomainHeaders& operator=(const TASCIIDomainHeaders&) = delete;

private:
    TNetMessage& FMessage;
    std::vector<std::string> FTyped; // From, then To, then Cc
};
