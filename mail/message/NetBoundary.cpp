// Boundary choice; see NetBoundary.h. Only lines that start with "--" and
// the boundary matter: base64 and quoted-printable output never hold "=_".
#include "mail/message/NetBoundary.h"

#include "mail/message/NetMessageParts.h"

#include <random>

const char* const MixedBoundary = "=_NextPart_28kcxuh4o99q4zxed9n6ivf";
const char* const RelatedBoundary = "=_NextPart_2rele4ujdlblvnjmfkb2qparu2";
const char* const AlternativeBoundary = "=_NextPart_2alt8kcxuh4o99q4zxed9n6ivf";

namespace {

// True when a line of entry (split at CR or LF) starts with prefix.
bool StartsALine(const std::string& entry, const std::string& prefix) {
    for (size_t i = entry.find(prefix); i != std::string::npos; i = entry.find(prefix, i + 1))
        if (i == 0 || entry[i - 1] == '\r' || entry[i - 1] == '\n')
            return true;
    return false;
}

bool StartsALine(const std::vector<const std::vector<std::string>*>& texts,
                 const std::string& prefix) {
    for (const std::vector<std::string>* text : texts)
        for (const std::string& entry : *text)
            if (StartsALine(entry, prefix))
                return true;
    return false;
}

// boundary, or boundary + "_" + 16 random letters and digits when a line
// starts with "--" + boundary.
std::string Unused(const std::string& boundary,
                   const std::vector<const std::vector<std::string>*>& texts) {
    static const char Alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string candidate = boundary;
    std::random_device random;
    while (StartsALine(texts, "--" + candidate)) {
        candidate = boundary + "_";
        for (int i = 0; i < 16; ++i)
            candidate += Alphabet[random() % (sizeof Alphabet - 1)];
    }
    return candidate;
}

} // namespace

TNetBoundaries ChooseBoundaries(const std::vector<std::string>& body,
                                const TNetMessageParts& parts) {
    std::vector<const std::vector<std::string>*> texts{&body};
    for (int i = 0; i < parts.Count(); ++i)
        if (auto* text = dynamic_cast<const TNetText*>(&parts[i]))
            texts.push_back(&text->Body);
    TNetBoundaries b;
    b.Mixed = Unused(b.Mixed, texts);
    b.Related = Unused(b.Related, texts);
    b.Alternative = Unused(b.Alternative, texts);
    return b;
}
