// xdg-email as the mail client behind our Simple MAPI provider: recipients
// as --to/--cc/--bcc, then --subject, --body (with LF line ends) and one
// --attach per file, every text whole. The composer always opens, so
// MAPI_DIALOG needs no handling of its own.
#include "mapi/provider/XdgEmail.h"

#include <sys/stat.h>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

std::string WithoutSmtp(const std::string& s) {
    return s.size() >= 5 && SameText(s.substr(0, 5), "smtp:") ? s.substr(5) : s;
}

std::string TrimBlanks(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The display part of a recipient's name: the name without the "<address>"
// or "[address]" it may carry ("Bob <bob@x>" -> "Bob").
std::string DisplayName(const std::string& name) {
    std::string display = name;
    for (const char* pair : {"<>", "[]"}) {
        const size_t open = display.find(pair[0]);
        const size_t close = open == std::string::npos ? open : display.find(pair[1], open + 1);
        if (close != std::string::npos) {
            display.erase(open, close - open + 1);
            break;
        }
    }
    return TrimBlanks(display);
}

// A display name as the mail client reads it back: quoted (RFC 5322
// quoted-string) when a comma, semicolon or other special would otherwise
// split it or make it part of the address.
std::string Phrase(const std::string& display) {
    if (display.size() >= 2 && display.front() == '"' && display.back() == '"')
        return display;
    if (display.find_first_of(",;:<>[]()@\\\"") == std::string::npos)
        return display;
    std::string quoted = "\"";
    for (char c : display) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

// xdg-email takes LF line ends; a CR LF (or a lone CR) would become two
// line breaks in the composer.
std::string WithLfLineEnds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool IsRegularFile(const char* path) {
    struct stat st;
    return path != nullptr && *path != '\0' && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::string XdgEmailAddress(const MapiRecipDesc& recip) {
    const std::string name = recip.lpszName != nullptr ? TrimBlanks(recip.lpszName) : "";
    const bool hasAddress = recip.lpszAddress != nullptr && *recip.lpszAddress != '\0';
    const std::string address = WithoutSmtp(hasAddress ? TrimBlanks(recip.lpszAddress) : name);
    // A name that is the address itself (or a whole list, which keeps its
    // names) goes as it is.
    if (!hasAddress || SameText(WithoutSmtp(name), address))
        return address;
    const std::string display = DisplayName(name);
    if (display.empty() || SameText(WithoutSmtp(display), address))
        return address;
    return Phrase(display) + " <" + address + ">";
}

MapiULong BuildXdgEmailArgs(const MapiMessage& message, std::vector<std::string>& args) {
    args.clear();
    for (MapiULong i = 0; message.lpRecips != nullptr && i < message.nRecipCount; ++i) {
        const MapiRecipDesc& recip = message.lpRecips[i];
        const char* option = nullptr;
        switch (recip.ulRecipClass) {
        case MAPI_ORIG:
            continue; // the client knows its own sender
        case MAPI_TO:
            option = "--to";
            break;
        case MAPI_CC:
            option = "--cc";
            break;
        case MAPI_BCC:
            option = "--bcc";
            break;
        default:
            return MAPI_E_BAD_RECIPTYPE;
        }
        const std::string address = XdgEmailAddress(recip);
        if (address.empty())
            continue; // xdg-email refuses an empty address; the user adds one
        args.push_back(option);
        args.push_back(address);
    }
    // xdg-email refuses empty values, and an empty subject or body is no subject or body.
    if (message.lpszSubject != nullptr && *message.lpszSubject != '\0') {
        args.push_back("--subject");
        args.push_back(message.lpszSubject);
    }
    if (message.lpszNoteText != nullptr && *message.lpszNoteText != '\0') {
        args.push_back("--body");
        args.push_back(WithLfLineEnds(message.lpszNoteText));
    }
    for (MapiULong i = 0; message.lpFiles != nullptr && i < message.nFileCount; ++i) {
        const char* path = message.lpFiles[i].lpszPathName;
        if (!IsRegularFile(path))
            return MAPI_E_ATTACHMENT_NOT_FOUND;
        args.push_back("--attach");
        args.push_back(path);
    }
    return SUCCESS_SUCCESS;
}

MapiULong RunXdgEmail(const std::vector<std::string>& args, const TWaitHook& hook) {
    std::vector<std::string> argv = {"xdg-email"};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunClient(argv, hook);
}
