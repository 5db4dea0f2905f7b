// Address parsing and rendering; see NetEMailAddress.h. The parser is a
// small state machine over the characters that matter in each state; text
// that is not part of the mailbox (comments, words after a finished address)
// never reaches Address, since Address becomes an SMTP envelope recipient.
#include "mail/message/NetEMailAddress.h"

#include "base/NetException.h"
#include "base/Text.h"

#include <string_view>

const char* const AddressAtoms =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ1234567890!#$%&'*+-/=?_`{}|~";

namespace {

// Strips spaces and tabs only (the other trims strip every control byte).
std::string StripBlanks(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return std::string();
    size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

std::string_view TrimBlanksLeft(std::string_view s) {
    size_t b = s.find_first_not_of(" \t");
    return b == std::string_view::npos ? std::string_view() : s.substr(b);
}

std::string QuoteEscaped(std::string_view s) {
    std::string q = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"')
            q += '\\';
        q += c;
    }
    return q + "\"";
}

} // namespace

void TNetEMailAddressItem::SetText(const std::string& text) {
    Address.clear();
    Name.clear();
    const std::string input = Trim(text);
    if (input.empty())
        return;
    if (input.find_first_of("(\"< @\t") == std::string::npos) {
        Address = input;
        return;
    }
    std::string_view s = input;
    bool inQuote = false, inAddress = false, angleSeen = false, afterAt = false;
    // Set once the mailbox is complete (closing ">" or the blank after a bare
    // address); later text is not part of it.
    bool closed = false;
    int depth = 0;
    auto addAddress = [&](std::string_view t) {
        if (!closed)
            Address += t;
    };
    for (;;) {
        const char* chars = depth > 0              ? "()\\"
                            : inQuote              ? "\"\\"
                            : afterAt && angleSeen ? ".>("
                            : afterAt              ? ".( \t"
                            : inAddress            ? "\"(@>"
                                                   : "(\"< @\t";
        const size_t p = s.find_first_of(chars);
        if (p == std::string_view::npos)
            break;
        const char c = s[p];
        const std::string_view prefix = s.substr(0, p);
        const std::string_view rest = s.substr(p + 1);
        switch (c) {
        case ' ':
        case '\t':
            if (p > 0) {
                if (afterAt) {
                    addAddress(Trim(prefix));
                    closed = true;
                } else {
                    Name.append(prefix);
                    Name += c;
                }
            }
            s = rest;
            break;
        case '"':
            if (inQuote) {
                if (angleSeen)
                    addAddress(Trim(prefix));
                else
                    Name += Trim(prefix);
                inQuote = false;
            } else {
                if (p > 0) {
                    if (inAddress)
                        addAddress(Trim(prefix));
                    else
                        Name.append(prefix);
                }
                inQuote = true;
            }
            s = rest;
            break;
        case '(':
            if (p > 0 && depth == 0) {
                if (inAddress)
                    addAddress(Trim(prefix));
                else
                    Name.append(prefix);
            }
            ++depth;
            s = rest;
            break;
        case ')':
            --depth;
            s = rest;
            break;
        case '.':
            if (angleSeen) {
                addAddress(StripBlanks(Trim(prefix)) + ".");
                s = TrimBlanksLeft(rest);
            } else {
                addAddress(std::string(prefix) + ".");
                s = rest;
            }
            break;
        case '<':
            Name.append(prefix);
            Name = StripBlanks(Trim(Name));
            angleSeen = true;
            inAddress = true;
            s = rest;
            break;
        case '>':
            inAddress = false;
            afterAt = false;
            addAddress(StripBlanks(Trim(prefix)));
            closed = true;
            s = rest;
            break;
        case '@':
            afterAt = true;
            if (!inAddress) {
                if (angleSeen)
                    throw ENetEmailParseError("@ Outside address");
                inAddress = true;
            }
            addAddress(std::string(prefix) + "@");
            s = rest;
            break;
        case '\\': {
            const std::string_view escaped = rest.substr(0, 1);
            if (inQuote) {
                if (inAddress) {
                    addAddress(prefix);
                    addAddress(escaped);
                } else {
                    Name.append(prefix);
                    Name.append(escaped);
                }
            }
            s = rest.substr(escaped.size());
            break;
        }
        }
    }
    if (inAddress && !angleSeen && depth == 0)
        addAddress(StripBlanks(Trim(s)));
}

std::string TNetEMailAddressItem::RenderAddress() const {
    if (Address.empty())
        return Name.empty() ? std::string() : std::string("<>");
    std::string local, domain;
    size_t at = Address.rfind('@');
    if (at != std::string::npos) {
        local = Address.substr(0, at);
        domain = Address.substr(at);
    }
    size_t bad = local.find_first_not_of(AddressAtoms);
    if (bad != std::string::npos && local[bad] != '.')
        return "<" + QuoteEscaped(local) + domain + ">";
    if (Name.empty())
        return local + domain;
    return "<" + local + domain + ">";
}

std::string TNetEMailAddressItem::GetText() const {
    if (Name.empty() || UpperCase(Address) == Name)
        return RenderAddress();
    std::string atomsAndSpace = std::string(AddressAtoms) + " ";
    if (Name.find_first_not_of(atomsAndSpace) == std::string::npos)
        return Name + " " + RenderAddress();
    return QuoteEscaped(Name) + " " + RenderAddress();
}

void TNetEMailAddressList::AddChecked(const std::string& entry) {
    TNetEMailAddressItem& item = Add();
    item.SetText(entry);
    std::string rendered = Trim(item.GetText());
    if (rendered.empty() || rendered == "<>")
        Items.pop_back();
}

void TNetEMailAddressList::AssignText(const std::string& text) {
    Clear();
    if (Trim(text).empty())
        return;
    std::string entry;
    std::string_view s = text;
    bool inQuote = false;
    bool anySeparator = false;
    int depth = 0;
    for (;;) {
        const char* seps = depth > 0 ? "(\\)" : inQuote ? "\"\\" : ":;(\", \t";
        const size_t p = s.find_first_of(seps);
        if (p == std::string_view::npos)
            break;
        anySeparator = true;
        const std::string_view prefix = s.substr(0, p);
        std::string_view rest = s.substr(p + 1);
        switch (s[p]) {
        case ' ':
        case '\t':
        case '"':
        case '(':
        case ')':
            entry.append(s.substr(0, p + 1));
            if (s[p] == '"')
                inQuote = !inQuote;
            else if (s[p] == '(')
                ++depth;
            else if (s[p] == ')')
                --depth;
            break;
        case ',':
            entry.append(prefix);
            AddChecked(entry);
            entry.clear();
            break;
        case ':':
            // A group name: neither it nor the colon is an address.
            entry.clear();
            break;
        case ';':
            entry.append(prefix);
            if (!Trim(entry).empty()) {
                Add().SetText(TrimLeft(entry));
                entry.clear();
            }
            break;
        case '\\': {
            const size_t take = std::min<size_t>(p + 2, s.size());
            entry.append(s.substr(0, take));
            rest = s.substr(take);
            break;
        }
        }
        s = rest;
    }
    if (!anySeparator) {
        Add().SetText(TrimLeft(text));
        return;
    }
    if (Trim(entry).empty() && Trim(s).empty())
        return;
    entry.append(s);
    AddChecked(TrimLeft(entry));
}
