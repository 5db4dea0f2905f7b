// The texts the user reads, in the user's language. A text is marked where
// it is made, Tr("Context", "English text"), so that lupdate finds it (the
// build runs it with -tr-function-alias translate+=Tr), and is looked up
// through the hook a front end installs (platform/Translations); without a
// hook, as in the libraries' tests, it stays English. A table of texts
// marks each with TR_NOOP and hands it to Tr where it is shown.
// Protocol lines, settings keys and log output are never passed through it.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

// Marks a text for lupdate only; Tr(context, it) translates it later.
#define TR_NOOP(context, text) text

// The lookup: the text in the user's language, or the text itself.
using TTranslateHook = std::string (*)(const char* context, const char* text);
// Installs the lookup for the whole program (any thread may use it after).
void SetTranslateHook(TTranslateHook hook);

// One value for a placeholder: a text, or a number written in decimal.
struct TTrArg {
    TTrArg(std::string_view text) : Text(text) {}
    TTrArg(const std::string& text) : Text(text) {}
    TTrArg(const char* text) : Text(text) {}
    template <class N, std::enable_if_t<std::is_integral_v<N>, int> = 0>
    TTrArg(N number) : Text(std::to_string(number)) {}
    std::string Text;
};

// A translated text; a std::string, with its placeholders still to fill.
class TTrText : public std::string {
public:
    explicit TTrText(std::string text) : std::string(std::move(text)) {}
    // Fills %1..%9 with the values in order, in one pass, after the lookup:
    // a translation may put them in another order, and a value that holds
    // "%2" itself stays as it is. A placeholder without a value stays too.
    template <class... A> TTrText Arg(const A&... values) const {
        return Fill({TTrArg(values)...});
    }

private:
    TTrText Fill(std::initializer_list<TTrArg> values) const;
};

TTrText Tr(const char* context, const char* text);
