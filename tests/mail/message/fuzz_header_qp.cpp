// libFuzzer target: arbitrary bytes through the header-text encoder (RFC
// 2047 encoded words, "B" and "Q", UTF-8 or a single-byte charset, with or
// without the address specials) and through the quoted-printable encoder,
// each decoded back by the independent decoders of FuzzDecoders.h.
//  - Header text: the decoded text equals the input; no encoded word is
//    longer than 75 characters.
//  - Quoted-printable: the text is fed as the message writer feeds it,
//    every line ending in CR LF: each CR, LF or CR LF of the input counts
//    as one line end (CR LF on the wire), and a last line without one gets
//    CR LF. The decoded text equals that normalised input; the encoded text
//    has no bare CR or LF, no line over 76 characters and no blank before a
//    line end.
#include "mail/message/NetEncoders.h"
#include "mail/message/NetHeaderCoder.h"
#include "tests/mail/message/FuzzDecoders.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void CheckHeaderText(const std::string& text, uint8_t mode) {
    const char letter = mode & 1 ? 'Q' : 'B';
    const std::string charset = mode & 2 ? "UTF-8" : "ISO-8859-1";
    const std::string specials = mode & 4 ? AddressSpecials : "";
    const std::string encoded = EncodeHeaderText(text, specials, letter, TTransfer::bit8, charset);
    if (fuzzdec::DecodeHeaderText(encoded) != text)
        std::abort();
    for (const fuzzdec::TEncodedWord& w : fuzzdec::EncodedWords(encoded))
        if (w.Word.size() > 75)
            std::abort();
}

void CheckQuotedPrintable(const std::string& raw) {
    std::string text;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            text += "\r\n";
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else if (raw[i] == '\n') {
            text += "\r\n";
        } else {
            text += raw[i];
        }
    }
    if (text.size() < 2 || text.compare(text.size() - 2, 2, "\r\n") != 0)
        text += "\r\n";
    const std::string encoded = TNetEncoderQuotedPrintable().Encode(text);
    // The decoder also refuses a bare CR or LF in the encoded text.
    std::string decoded;
    if (!fuzzdec::DecodeQuotedPrintable(encoded, decoded) || decoded != text)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    CheckHeaderText(text, data[0]);
    CheckQuotedPrintable(text);
    return 0;
}
