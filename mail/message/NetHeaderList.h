// TNetHeaderList: header lines ("Name: value" plus continuation lines that
// start with a blank), looked up by case-insensitive name and unfolded on
// reading; SetHeader folds the line at 78 columns (RFC 2822 section 2.2.3).
// Plain adding and copying never fold.
#pragma once

#include <string>
#include <vector>

class TNetHeaderList {
public:
    static constexpr int FoldWidth = 78;

    // Index of the first line whose name (text before the first ":") equals
    // name ignoring case, or -1.
    int FindHeader(const std::string& name) const;
    // The unfolded, trimmed value of name; empty when it is not present.
    std::string GetHeader(const std::string& name) const;
    // Replaces name in place (or appends it) with value folded; an empty
    // value removes the header with its continuation lines.
    void SetHeader(const std::string& name, const std::string& value);

    void Add(const std::string& line) { Lines.push_back(line); }
    void AddStrings(const TNetHeaderList& other);
    void Assign(const TNetHeaderList& other) { Lines = other.Lines; }
    void Delete(int index) { Lines.erase(Lines.begin() + index); }
    void Clear() { Lines.clear(); }
    int Count() const { return static_cast<int>(Lines.size()); }
    bool Empty() const { return Lines.empty(); }
    const std::string& operator[](int index) const { return Lines[index]; }

    std::vector<std::string> Lines;

private:
    // Deletes the continuation lines that follow index.
    void DeleteContinuations(int index);
};

// Folds one header line at width columns: breaks at the last blank or after
// the last comma that keeps a line within the width (never inside double
// quotes or an RFC 2047 encoded word; at a comma only in structured fields),
// keeps folds already present, and returns the lines without their CR LF.
// Unfolding gives the line back, less the blanks at its end. A line without
// a break character stays whole.
std::vector<std::string> FoldHeaderLine(const std::string& line,
                                        int width = TNetHeaderList::FoldWidth);

// True when byte c opens a double-byte character in the user's multi-byte
// codeset (Shift_JIS, GBK, Big5, EUC-KR); never in UTF-8 or single-byte sets.
bool IsLeadByte(unsigned char c);
