// DNS message writer for tests; see dns_PacketBuilder.h.
#include "tests/support/dns_PacketBuilder.h"

#include <cctype>
#include <cstdio>

namespace {

std::vector<std::string> Labels(const std::string& name) {
    std::vector<std::string> labels;
    size_t start = 0;
    while (start < name.size()) {
        size_t dot = name.find('.', start);
        if (dot == std::string::npos)
            dot = name.size();
        labels.push_back(name.substr(start, dot - start));
        start = dot + 1;
    }
    return labels;
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

} // namespace

TDnsPacketBuilder::TDnsPacketBuilder(uint16_t id, uint16_t flags) {
    U16(id).U16(flags);
    Bytes.append(8, '\0');
}

TDnsPacketBuilder TDnsPacketBuilder::ReplyTo(const std::string& query, uint16_t flags) {
    TDnsPacketBuilder b(IdOf(query), flags);
    if (query.size() < 12)
        return b;
    b.Counts[0] = static_cast<uint16_t>((uint8_t(query[4]) << 8) | uint8_t(query[5]));
    // Remember the first question's name for compression (queries carry no
    // pointers, so plain labels are walked).
    size_t p = 12;
    std::vector<std::pair<std::string, size_t>> labels;
    while (p < query.size() && query[p] != 0) {
        const size_t length = uint8_t(query[p]);
        labels.push_back({query.substr(p + 1, length), p});
        p += 1 + length;
    }
    for (size_t i = 0; i < labels.size(); ++i) {
        std::string suffix;
        for (size_t j = i; j < labels.size(); ++j)
            suffix += (j > i ? "." : "") + labels[j].first;
        b.Suffixes.emplace(Lower(suffix), labels[i].second);
    }
    b.Bytes.append(query, 12, std::string::npos);
    return b;
}

TDnsPacketBuilder& TDnsPacketBuilder::Question(const std::string& name, uint16_t type,
                                               uint16_t cls) {
    ++Counts[0];
    return Name(name).U16(type).U16(cls);
}

TDnsPacketBuilder& TDnsPacketBuilder::BeginRecord(Section section, const std::string& owner,
                                                  uint16_t type, uint32_t ttl, uint16_t cls) {
    ++Counts[1 + static_cast<int>(section)];
    Name(owner).U16(type).U16(cls).U32(ttl);
    RecordDataAt = Bytes.size();
    return U16(0);
}

TDnsPacketBuilder& TDnsPacketBuilder::EndRecord() {
    const size_t length = Bytes.size() - RecordDataAt - 2;
    Bytes[RecordDataAt] = static_cast<char>(length >> 8);
    Bytes[RecordDataAt + 1] = static_cast<char>(length & 0xFF);
    return *this;
}

TDnsPacketBuilder& TDnsPacketBuilder::A(Section section, const std::string& owner,
                                        const std::string& dotted) {
    unsigned a = 0, b = 0, c = 0, d = 0;
    std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
    return BeginRecord(section, owner, 1)
        .U8(uint8_t(a))
        .U8(uint8_t(b))
        .U8(uint8_t(c))
        .U8(uint8_t(d))
        .EndRecord();
}

TDnsPacketBuilder& TDnsPacketBuilder::MX(Section section, const std::string& owner,
                                         uint16_t preference, const std::string& exchange) {
    return BeginRecord(section, owner, 15).U16(preference).Name(exchange).EndRecord();
}

TDnsPacketBuilder& TDnsPacketBuilder::NS(Section section, const std::string& owner,
                                         const std::string& host) {
    return BeginRecord(section, owner, 2).Name(host).EndRecord();
}

TDnsPacketBuilder& TDnsPacketBuilder::CNAME(Section section, const std::string& owner,
                                            const std::string& target) {
    return BeginRecord(section, owner, 5).Name(target).EndRecord();
}

TDnsPacketBuilder& TDnsPacketBuilder::PTR(Section section, const std::string& owner,
                                          const std::string& target) {
    return BeginRecord(section, owner, 12).Name(target).EndRecord();
}

TDnsPacketBuilder& TDnsPacketBuilder::TXT(Section section, const std::string& owner,
                                          const std::vector<std::string>& texts) {
    BeginRecord(section, owner, 16);
    for (const std::string& t : texts)
        CharacterString(t);
    return EndRecord();
}

TDnsPacketBuilder& TDnsPacketBuilder::SOA(Section section, const std::string& owner,
                                          const std::string& mname, const std::string& rname,
                                          uint32_t serial, uint32_t refresh, uint32_t retry,
                                          uint32_t expire, uint32_t minimum) {
    return BeginRecord(section, owner, 6)
        .Name(mname)
        .Name(rname)
        .U32(serial)
        .U32(refresh)
        .U32(retry)
        .U32(expire)
        .U32(minimum)
        .EndRecord();
}

TDnsPacketBuilder& TDnsPacketBuilder::U8(uint8_t value) {
    Bytes += static_cast<char>(value);
    return *this;
}

TDnsPacketBuilder& TDnsPacketBuilder::U16(uint16_t value) {
    return U8(uint8_t(value >> 8)).U8(uint8_t(value & 0xFF));
}

TDnsPacketBuilder& TDnsPacketBuilder::U32(uint32_t value) {
    return U16(uint16_t(value >> 16)).U16(uint16_t(value & 0xFFFF));
}

TDnsPacketBuilder& TDnsPacketBuilder::Raw(const std::string& bytes) {
    Bytes += bytes;
    return *this;
}

TDnsPacketBuilder& TDnsPacketBuilder::Name(const std::string& name, bool compress) {
    const std::vector<std::string> labels = Labels(name);
    for (size_t i = 0; i < labels.size(); ++i) {
        std::string suffix;
        for (size_t j = i; j < labels.size(); ++j)
            suffix += (j > i ? "." : "") + labels[j];
        suffix = Lower(suffix);
        auto found = Suffixes.find(suffix);
        if (compress && found != Suffixes.end())
            return U16(static_cast<uint16_t>(0xC000 | found->second));
        if (Bytes.size() < 0x3FFF)
            Suffixes.emplace(suffix, Bytes.size());
        U8(static_cast<uint8_t>(labels[i].size()));
        Bytes += labels[i];
    }
    return U8(0);
}

TDnsPacketBuilder& TDnsPacketBuilder::CharacterString(const std::string& text) {
    U8(static_cast<uint8_t>(text.size()));
    Bytes += text;
    return *this;
}

TDnsPacketBuilder& TDnsPacketBuilder::SetCounts(uint16_t questions, uint16_t answers,
                                                uint16_t authority, uint16_t additional) {
    CountsSet = true;
    SetValues[0] = questions;
    SetValues[1] = answers;
    SetValues[2] = authority;
    SetValues[3] = additional;
    return *this;
}

std::string TDnsPacketBuilder::Build() const {
    std::string out = Bytes;
    const uint16_t* counts = CountsSet ? SetValues : Counts;
    for (int i = 0; i < 4; ++i) {
        out[4 + 2 * i] = static_cast<char>(counts[i] >> 8);
        out[5 + 2 * i] = static_cast<char>(counts[i] & 0xFF);
    }
    return out;
}

uint16_t TDnsPacketBuilder::IdOf(const std::string& packet) {
    if (packet.size() < 2)
        return 0;
    return static_cast<uint16_t>((uint8_t(packet[0]) << 8) | uint8_t(packet[1]));
}
