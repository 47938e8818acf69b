#include "core/richtext/TextFont.h"

#include <array>
#include <cctype>
#include <string>

#include "core/text/Unicode.h"

namespace dz {

bool TextFont::isMonospaceFamilyName(std::string_view family) {
    // Lower-cased, without spaces and quotes: "'Roboto Mono'" is "robotomono".
    std::string name;
    name.reserve(family.size());
    for (char c : family) {
        if (c == ' ' || c == '\t' || c == '"' || c == '\'')
            continue;
        name += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    if (name.empty())
        return false;
    static constexpr std::array<std::string_view, 18> within = {
        "monospace",      "courier",     "menlo",    "monaco",         "consolas",     "sfmono",
        "jetbrains",      "firacode",    "sourcecodepro", "lucidaconsole", "lucidasanstypewriter",
        "lucidatypewriter", "andalemono", "iosevka",  "fixedsys",       "ocraextended", "prestigeelite", "lettergothic"};
    for (std::string_view known : within)
        if (name.find(known) != std::string::npos)
            return true;
    // DejaVu Sans Mono, Liberation Mono, Noto Sans Mono, Roboto Mono, PT Mono...
    if (name.ends_with("mono"))
        return true;
    static constexpr std::array<std::string_view, 6> exact = {"inconsolata",  "hack",        "cousine",
                                                            "cascadiacode", "anonymouspro", "terminal"};
    for (std::string_view known : exact)
        if (name == known)
            return true;
    // A family that calls itself mono in a word of its own ("Noto Sans Mono
    // CJK JP", "Go Mono Bold"); "Monotype Corsiva" is not one.
    std::string lower = unicode::lowercased(unicode::trimWhitespace(family));
    size_t at = 0;
    while ((at = lower.find("mono", at)) != std::string::npos) {
        bool startsWord = at == 0 || lower[at - 1] == ' ' || lower[at - 1] == '-';
        size_t end = at + 4;
        while (end < lower.size() && std::isalpha(static_cast<unsigned char>(lower[end]))) ++end;
        std::string_view word = std::string_view(lower).substr(at, end - at);
        if (startsWord && (word == "mono" || word == "monospace" || word == "monospaced"))
            return true;
        at = end;
    }
    return false;
}

}  // namespace dz
