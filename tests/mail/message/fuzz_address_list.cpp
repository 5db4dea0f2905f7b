// libFuzzer target: recipient field parsing, address rendering and header
// folding on arbitrary text. Crashes, hangs and sanitizer reports are the
// failures; the folding invariants and the recipient check's promise (an
// accepted text parses into plain local@domain addresses) are checked too.
#include "base/NetException.h"
#include "mail/message/NetAddressCheck.h"
#include "mail/message/NetEMailAddress.h"
#include "mail/message/NetHeaderList.h"
#include "mail/message/NetMessage.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

void CheckFolded(const std::vector<std::string>& lines) {
    if (lines.empty())
        __builtin_trap();
    for (size_t i = 1; i < lines.size(); ++i)
        if (lines[i].empty()) // would end the header block
            __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TNetEMailAddressList list;
    try {
        list.AssignText(text);
    } catch (const ENetEmailParseError&) {
        // The items parsed so far stay usable.
    }
    bool accepted = true;
    try {
        CheckRecipientText(text);
    } catch (const ENetInvalidAddress&) {
        accepted = false;
    }
    for (const TNetEMailAddressItem& item : list.Items)
        if (accepted) {
            try {
                CheckPlainAddress(item.Address);
            } catch (const ENetInvalidAddress&) {
                __builtin_trap();
            }
        }
    TNetHeaderCoding coding;
    coding.Letter = size % 2 ? 'Q' : 'B';
    coding.CharSet = "UTF-8";
    std::string joined;
    for (const TNetEMailAddressItem& item : list.Items) {
        const std::string rendered = item.GetText();
        TNetEMailAddressItem again;
        try {
            again.SetText(rendered);
        } catch (const ENetEmailParseError&) {
        }
        joined += (joined.empty() ? "" : ", ") + rendered;
    }
    CheckFolded(FoldHeaderLine("To: " + joined));
    CheckFolded(FoldHeaderLine(text));

    // Encoded subjects are fuzz_header_fold's; a list of one item gives the
    // item's own header.
    TNetHeaderList header;
    header.Add("X-Unsent: 1");
    header.SetHeader("To", EncodeAddressList(list, coding));
    CheckFolded(header.Lines);
    return 0;
}
