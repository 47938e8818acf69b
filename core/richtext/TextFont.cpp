#include "core/richtext/TextFont.h"

#include <array>
#include <cctype>
#include <string>

#include "core/text/Unicode.h"

namespace dz {

bool TextFont::isMonospaceFamilyName(std::string_view family) {
    std::string name(unicode::trimWhitespace(family));
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    static const std::array<std::string_view, 34> names = {
        "courier",        "consolas",        "menlo",
        "monaco",         "lucida console",  "lucida sans typewriter",
        "andale mono",    "source code pro", "fira code",
        "inconsolata",    "sf mono",         "sfmono-regular",
        "jetbrains mono", "cascadia code",   "hack",
        "fixedsys",       "terminal",        "ocr a extended",
        "cousine",        "anonymous pro",   "iosevka",
        "letter gothic",  "prestige elite",  "lucida typewriter",
        "pt mono",        "liberation mono", "dejavu sans mono",
        "ubuntu mono",    "roboto mono",     "noto mono",
        "freemono",       "nimbus mono",     "overpass mono",
        "space mono"};
    for (std::string_view known : names)
        if (name.compare(0, known.size(), known) == 0)
            return true;
    // Any family that calls itself mono ("Noto Sans Mono CJK", "Go Mono").
    size_t at = 0;
    while ((at = name.find("mono", at)) != std::string::npos) {
        bool startsWord = at == 0 || name[at - 1] == ' ' || name[at - 1] == '-';
        size_t end = at + 4;
        while (end < name.size() && std::isalpha(static_cast<unsigned char>(name[end]))) ++end;
        std::string_view word = std::string_view(name).substr(at, end - at);
        if (startsWord && (word == "mono" || word == "monospace" || word == "monospaced"))
            return true;
        at = end;
    }
    return false;
}

}  // namespace dz
