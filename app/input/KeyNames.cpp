#include "app/input/KeyNames.h"

#include <array>
#include <utility>
#include <vector>

namespace dz::keynames {

namespace {

struct Key {
    uint32_t code;
    std::string_view name;
};

// Character keys by their position on a US layout, then the keys without a
// character of their own.
constexpr std::array<Key, 73> keys{{
    {0, "A"},        {1, "S"},      {2, "D"},          {3, "F"},        {4, "H"},         {5, "G"},
    {6, "Z"},        {7, "X"},      {8, "C"},          {9, "V"},        {11, "B"},        {12, "Q"},
    {13, "W"},       {14, "E"},     {15, "R"},         {16, "Y"},       {17, "T"},        {18, "1"},
    {19, "2"},       {20, "3"},     {21, "4"},         {22, "6"},       {23, "5"},        {24, "="},
    {25, "9"},       {26, "7"},     {27, "-"},         {28, "8"},       {29, "0"},        {30, "]"},
    {31, "O"},       {32, "U"},     {33, "["},         {34, "I"},       {35, "P"},        {37, "L"},
    {38, "J"},       {39, "'"},     {40, "K"},         {41, ";"},       {42, "\\"},       {43, ","},
    {44, "/"},       {45, "N"},     {46, "M"},         {47, "."},       {50, "`"},        {36, "Return"},
    {48, "Tab"},     {49, "Space"}, {51, "Backspace"}, {117, "Delete"}, {123, "Left"},    {124, "Right"},
    {126, "Up"},     {125, "Down"}, {115, "Home"},     {119, "End"},    {116, "Page Up"}, {121, "Page Down"},
    {122, "F1"},     {120, "F2"},   {99, "F3"},        {118, "F4"},     {96, "F5"},       {97, "F6"},
    {98, "F7"},      {100, "F8"},   {101, "F9"},       {109, "F10"},    {103, "F11"},     {111, "F12"},
    {114, "Insert"},
}};

constexpr std::array<Key, 3> aliases{{{121, "PageDown"}, {116, "PageUp"}, {36, "Enter"}}};

char lowerASCII(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerASCII(a[i]) != lowerASCII(b[i]))
            return false;
    return true;
}

struct Modifier {
    uint32_t mask;
    std::string_view name;
    std::string_view symbol;
};

// Display order: Ctrl, Alt, Shift, Super, as the symbols ⌃ ⌥ ⇧ ⌘.
constexpr std::array<Modifier, 4> modifiers{{
    {KeyCombo::control, "Ctrl", "\u2303"},
    {KeyCombo::option, "Alt", "\u2325"},
    {KeyCombo::shift, "Shift", "\u21E7"},
    {KeyCombo::command, "Super", "\u2318"},
}};

constexpr std::array<std::pair<std::string_view, uint32_t>, 8> modifierNames{{
    {"Ctrl", KeyCombo::control},
    {"Control", KeyCombo::control},
    {"Alt", KeyCombo::option},
    {"Option", KeyCombo::option},
    {"Shift", KeyCombo::shift},
    {"Super", KeyCombo::command},
    {"Command", KeyCombo::command},
    {"Cmd", KeyCombo::command},
}};

std::string_view trimmedSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<std::string_view> name(uint32_t keyCode) {
    for (const Key& key : keys)
        if (key.code == keyCode)
            return key.name;
    return std::nullopt;
}

std::optional<uint32_t> keyCode(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    for (const Key& key : keys)
        if (equalsIgnoringCase(key.name, text))
            return key.code;
    for (const Key& key : aliases)
        if (equalsIgnoringCase(key.name, text))
            return key.code;
    return std::nullopt;
}

std::string modifierPrefix(uint32_t carbonModifiers) {
    std::string out;
    for (const Modifier& m : modifiers)
        if (carbonModifiers & m.mask) {
            out += m.name;
            out += '+';
        }
    return out;
}

std::string displayText(const KeyCombo& stored) {
    std::string out = modifierPrefix(stored.carbonModifiers);
    if (auto known = name(stored.keyCode)) {
        out += *known;
        return out;
    }
    // Unknown to the table: whatever key text the recording stored.
    std::string_view rest = stored.display;
    for (bool stripped = true; stripped;) {
        stripped = false;
        for (const Modifier& m : modifiers)
            if (rest.starts_with(m.symbol)) {
                rest.remove_prefix(m.symbol.size());
                stripped = true;
            }
    }
    out += rest.empty() ? std::string_view("?") : rest;
    return out;
}

std::optional<KeyCombo> combo(uint32_t code, uint32_t carbonModifiers) {
    auto known = name(code);
    if (!known)
        return std::nullopt;
    KeyCombo result;
    result.keyCode = code;
    for (const Modifier& m : modifiers)
        if (carbonModifiers & m.mask) {
            result.carbonModifiers |= m.mask;
            result.display += m.symbol;
        }
    // Keys without a character keep the symbol names of the stored form.
    if (auto symbolName = KeyCombo::keyName(code))
        result.display += *symbolName;
    else
        result.display += *known;
    return result;
}

std::optional<KeyCombo> parse(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        size_t plus = text.find('+', start);
        parts.push_back(
            trimmedSpaces(text.substr(start, plus == std::string_view::npos ? plus : plus - start)));
        if (plus == std::string_view::npos)
            break;
        start = plus + 1;
    }
    uint32_t mask = 0;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        uint32_t bit = 0;
        for (const auto& [modifierName, modifierBit] : modifierNames)
            if (equalsIgnoringCase(modifierName, parts[i]))
                bit = modifierBit;
        if (bit == 0 || (mask & bit))
            return std::nullopt;
        mask |= bit;
    }
    auto code = keyCode(parts.back());
    if (!code)
        return std::nullopt;
    return combo(*code, mask);
}

}  // namespace dz::keynames
