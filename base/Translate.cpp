// The translation hook and the placeholder filling; see Translate.h.
#include "base/Translate.h"

#include <atomic>

namespace {
std::atomic<TTranslateHook> Hook{nullptr};
}

void SetTranslateHook(TTranslateHook hook) {
    Hook.store(hook);
}

TTrText Tr(const char* context, const char* text) {
    const TTranslateHook hook = Hook.load();
    return TTrText(hook ? hook(context, text) : std::string(text));
}

TTrText TTrText::Fill(std::initializer_list<TTrArg> values) const {
    std::string out;
    out.reserve(size() + 32 * values.size());
    for (size_t i = 0; i < size(); ++i) {
        const char c = (*this)[i];
        if (c == '%' && i + 1 < size() && (*this)[i + 1] >= '1' && (*this)[i + 1] <= '9') {
            const size_t n = static_cast<size_t>((*this)[i + 1] - '1');
            if (n < values.size()) {
                out += values.begin()[n].Text;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return TTrText(std::move(out));
}
