// TNetRFCReply: one server reply of a line-oriented protocol (RFC 5321
// style: "250-text" continuation lines, "250 text" last line) and the list
// of accepted codes a reply is checked against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Accepted reply codes; an empty list accepts every code.
using TNetReplyCodes = std::vector<int16_t>;

class TNetRFCReply {
public:
    int16_t NumericCode = 0;
    std::string TextCode;          // the code as received ("250"), may be empty
    std::vector<std::string> Text; // each line from its fifth character on

    void Clear();
    // Fills the reply from its lines: the code from the first line, the
    // text of every line.
    void Parse(const std::vector<std::string>& lines);
    // The text lines, each followed by CR LF, through SafeServerText: the
    // message of a reply error.
    std::string TextWithLineEnds() const;
};

// Server text made fit for a message box: control characters other than
// CR and LF removed, cut to ServerTextLimit bytes (not inside a UTF-8
// sequence).
constexpr size_t ServerTextLimit = 2000;
std::string SafeServerText(const std::string& text);
