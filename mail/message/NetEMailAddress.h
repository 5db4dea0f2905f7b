// TNetEMailAddressItem and TNetEMailAddressList: one mailbox (display name
// and address) and the ordered list a free-text recipient field is parsed
// into. Parsing is lenient in the RFC 2822 section 3.4 manner (names,
// quoted strings, comments, angle brackets, groups); encoding names for the
// header is left to the message (EncodeAddressItem).
#pragma once

#include <string>
#include <vector>

class TNetEMailAddressItem {
public:
    // Parses a free-text address into Name and Address. Raises
    // ENetEmailParseError "@ Outside address"; what was parsed so far stays.
    void SetText(const std::string& text);
    // Renders Name and Address as address text ("Name <a@b>", "a@b", "<>").
    std::string GetText() const;
    // The address part alone: "a@b", "<a@b>" (quoted local part), "<>" or "".
    std::string RenderAddress() const;
    void Assign(const TNetEMailAddressItem& other) {
        Address = other.Address;
        Name = other.Name;
    }

    std::string Address;
    std::string Name;
};

class TNetEMailAddressList {
public:
    // Empties the list and parses text (addresses separated by "," or ";")
    // into items in text order; may raise as SetText does, keeping the items
    // completed so far and the failing one.
    void AssignText(const std::string& text);

    TNetEMailAddressItem& Add() { return Items.emplace_back(); }
    void Delete(int index) { Items.erase(Items.begin() + index); }
    void Clear() { Items.clear(); }
    int Count() const { return static_cast<int>(Items.size()); }
    bool Empty() const { return Items.empty(); }
    TNetEMailAddressItem& operator[](int index) { return Items[index]; }
    const TNetEMailAddressItem& operator[](int index) const { return Items[index]; }

    std::vector<TNetEMailAddressItem> Items;

private:
    // Adds an item for entry; keeps it only when it renders to an address.
    void AddChecked(const std::string& entry);
};

// The 80 characters a local part may hold without quoting.
extern const char* const AddressAtoms;
