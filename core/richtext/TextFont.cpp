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
    static constexpr std::array<std::string_view, 18> within = {"monospace",
                                                                "courier",
                                                                "menlo",
                                                                "monaco",
                                                                "consolas",
                                                                "sfmono",
                                                                "jetbrains",
                                                                "firacode",
                                                                "sourcecodepro",
                                                                "lucidaconsole",
                                                                "lucidasanstypewriter",
                                                                "lucidatypewriter",
                                                                "andalemono",
                                                                "iosevka",
                                                                "fixedsys",
                                                                "ocraextended",
                                                                "prestigeelite",
                                                                "lettergothic"};
    for (std::string_view known : within)
        if (name.find(known) != std::string::npos)
            return true;
    // DejaVu Sans Mono, Liberation Mono, Noto Sans Mono, Roboto Mono, PT Mono,
    // and the CJK cuts ("Noto Sans Mono CJK JP").
    if (name.ends_with("mono") || name.find("sansmono") != std::string::npos ||
        name.find("monocjk") != std::string::npos)
        return true;
    static constexpr std::array<std::string_view, 6> exact = {"inconsolata",  "hack",         "cousine",
                                                              "cascadiacode", "anonymouspro", "terminal"};
    for (std::string_view known : exact)
        if (name == known)
            return true;
    return false;
}

}  // namespace dz
