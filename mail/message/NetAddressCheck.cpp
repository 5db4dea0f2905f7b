// Recipient, header text and own address checks; see NetAddressCheck.h.
// The recipient check splits the text as the address-list parser does,
// reads the one mailbox each piece may hold with its own small scanner and
// then asks the parser: a piece passes only when both agree, so what goes
// into RCPT TO and the header is what was typed.
#include "mail/message/NetAddressCheck.h"

#include "base/Text.h"
#include "base/Translate.h"
#include "mail/message/NetEMailAddress.h"

#include <string_view>
#include <vector>

namespace {

struct TPiece {
    std::string Text;
    bool GroupName = false; // the text before a ":", which the parser drops
};

// Splits at ",", ";" and ":" outside quoted strings and comments, with the
// parser's rules for escapes (inside quotes and comments only).
std::vector<TPiece> SplitPieces(const std::string& text) {
    std::vector<TPiece> pieces;
    std::string entry;
    bool inQuote = false;
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if ((depth > 0 || inQuote) && c == '\\') {
            entry += c;
            if (i + 1 < text.size())
                entry += text[++i];
            continue;
        }
        if (depth > 0) {
            depth += c == '(' ? 1 : c == ')' ? -1 : 0;
        } else if (inQuote) {
            inQuote = c != '"';
        } else if (c == '"') {
            inQuote = true;
        } else if (c == '(') {
            ++depth;
        } else if (c == ',' || c == ';' || c == ':') {
            pieces.push_back({entry, c == ':'});
            entry.clear();
            continue;
        }
        entry += c;
    }
    pieces.push_back({entry, false});
    return pieces;
}

std::string StripBlanks(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return std::string();
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The piece without its comments (each becomes one blank), or false when a
// quoted string or comment is left open.
bool WithoutComments(const std::string& piece, std::string& out) {
    bool inQuote = false;
    int depth = 0;
    for (size_t i = 0; i < piece.size(); ++i) {
        const char c = piece[i];
        if (depth > 0) {
            if (c == '\\')
                ++i;
            else
                depth += c == '(' ? 1 : c == ')' ? -1 : 0;
            continue;
        }
        if (!inQuote && c == '(') {
            ++depth;
            out += ' ';
            continue;
        }
        out += c;
        if (inQuote && c == '\\' && i + 1 < piece.size())
            out += piece[++i];
        else if (c == '"')
            inQuote = !inQuote;
    }
    return !inQuote && depth == 0;
}

// True when s holds none of chars outside its quoted strings.
bool NoneOutsideQuotes(const std::string& s, const char* chars) {
    bool inQuote = false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (inQuote && s[i] == '\\')
            ++i;
        else if (s[i] == '"')
            inQuote = !inQuote;
        else if (!inQuote && std::string_view(chars).find(s[i]) != std::string_view::npos)
            return false;
    }
    return true;
}

// local@domain, both non-empty, nothing an SMTP path or header would read
// as syntax.
bool IsPlainAddress(const std::string& a) {
    for (unsigned char c : a)
        if (c <= ' ' || c == 0x7F)
            return false;
    const size_t at = a.find('@');
    return a.find_first_of("<>()[],;:\\\"") == std::string::npos && at != std::string::npos &&
           at > 0 && at + 1 < a.size() && a.find('@', at + 1) == std::string::npos;
}

// The mailbox typed in piece ("name <a@b>", "<a@b>" or "a@b", comments
// anywhere between), or "" when the piece is not exactly one mailbox.
std::string TypedMailbox(const std::string& piece) {
    std::string s;
    if (!WithoutComments(piece, s))
        return std::string();
    std::string address;
    size_t lt = std::string::npos;
    bool inQuote = false;
    for (size_t i = 0; i < s.size() && lt == std::string::npos; ++i) {
        if (inQuote && s[i] == '\\')
            ++i;
        else if (s[i] == '"')
            inQuote = !inQuote;
        else if (!inQuote && s[i] == '<')
            lt = i;
    }
    if (lt == std::string::npos) {
        address = StripBlanks(s);
    } else {
        const size_t gt = s.find('>', lt);
        if (gt == std::string::npos || !NoneOutsideQuotes(s.substr(0, lt), "@<>") ||
            !StripBlanks(s.substr(gt + 1)).empty())
            return std::string();
        address = StripBlanks(s.substr(lt + 1, gt - lt - 1));
    }
    return IsPlainAddress(address) ? address : std::string();
}

[[noreturn]] void RaiseInvalid(const std::string& piece) {
    throw ENetInvalidAddress(
        Tr("NetMessage", "'%1' is not a valid e-mail address.").Arg(Trim(piece)));
}

} // namespace

void CheckHeaderText(const std::string& fieldName, const std::string& text) {
    for (unsigned char c : text)
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            throw ENetInvalidAddress(
                Tr("NetMessage", "The %1 contains a control character.").Arg(fieldName));
}

void CheckRecipientText(const std::string& text, const std::string& fieldName) {
    CheckHeaderText(fieldName, text);
    std::vector<std::string> typed;
    std::vector<std::string> typedPieces;
    for (const TPiece& piece : SplitPieces(text)) {
        if (piece.GroupName) {
            if (!NoneOutsideQuotes(piece.Text, "@<>"))
                RaiseInvalid(piece.Text);
            continue;
        }
        if (Trim(piece.Text).empty())
            continue;
        const std::string mailbox = TypedMailbox(piece.Text);
        TNetEMailAddressItem item;
        try {
            item.SetText(piece.Text);
        } catch (const ENetEmailParseError&) {
            RaiseInvalid(piece.Text);
        }
        if (mailbox.empty() || item.Address != mailbox)
            RaiseInvalid(piece.Text);
        typed.push_back(mailbox);
        typedPieces.push_back(piece.Text);
    }
    // The parser must make the same list of the whole text.
    TNetEMailAddressList list;
    try {
        list.AssignText(text);
    } catch (const ENetEmailParseError&) {
        list.Clear();
    }
    for (size_t i = 0; i < typed.size(); ++i)
        if (i >= list.Items.size() || list.Items[i].Address != typed[i])
            RaiseInvalid(typedPieces[i]);
    if (list.Items.size() > typed.size())
        RaiseInvalid(text);
}

void CheckPlainAddress(const std::string& text) {
    if (!IsPlainAddress(text))
        throw ENetInvalidAddress(
            Tr("NetMessage", "Your e-mail address '%1' in Options is not a valid e-mail address.")
                .Arg(text));
}
