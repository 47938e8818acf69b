#include "app/input/KeyCombo.h"

#include <array>
#include <cmath>
#include <utility>

#include "core/text/Unicode.h"

namespace dz {

std::optional<std::string_view> KeyCombo::keyName(uint32_t keyCode) {
    static constexpr std::array<std::pair<uint32_t, std::string_view>, 25> names{{
        {36, "\u21A9"},  {48, "\u21E5"},  {49, "Space"},   {51, "\u232B"},  {117, "\u2326"},
        {123, "\u2190"}, {124, "\u2192"}, {126, "\u2191"}, {125, "\u2193"}, {115, "\u2196"},
        {119, "\u2198"}, {116, "\u21DE"}, {121, "\u21DF"}, {122, "F1"},     {120, "F2"},
        {99, "F3"},      {118, "F4"},     {96, "F5"},      {97, "F6"},      {98, "F7"},
        {100, "F8"},     {101, "F9"},     {109, "F10"},    {103, "F11"},    {111, "F12"},
    }};
    for (const auto& [code, name] : names)
        if (code == keyCode)
            return name;
    return std::nullopt;
}

std::optional<KeyCombo> KeyCombo::fromEvent(const KeyEvent& event) {
    const KeyEvent::Modifiers& m = event.modifiers;
    if (!m.control && !m.option && !m.command)
        return std::nullopt;
    KeyCombo combo;
    if (m.control) {
        combo.display += "\u2303";
        combo.carbonModifiers |= control;
    }
    if (m.option) {
        combo.display += "\u2325";
        combo.carbonModifiers |= option;
    }
    if (m.shift) {
        combo.display += "\u21E7";
        combo.carbonModifiers |= shift;
    }
    if (m.command) {
        combo.display += "\u2318";
        combo.carbonModifiers |= command;
    }
    combo.keyCode = event.keyCode;
    if (auto name = keyName(event.keyCode))
        combo.display += *name;
    else if (event.charactersIgnoringModifiers && !event.charactersIgnoringModifiers->empty())
        combo.display += unicode::uppercased(*event.charactersIgnoringModifiers);
    else
        combo.display += "?";
    return combo;
}

nlohmann::ordered_json KeyCombo::toJSON() const {
    nlohmann::ordered_json j;
    j["keyCode"] = keyCode;
    j["carbonModifiers"] = carbonModifiers;
    j["display"] = display;
    return j;
}

namespace {

// JSON numbers may arrive as integers or as floats with an integral value.
bool readUInt32(const nlohmann::json& object, const char* key, uint32_t& out, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = std::string("a shortcut's \"") + key + "\" " + why;
        return false;
    };
    auto it = object.find(key);
    if (it == object.end())
        return fail("is missing");
    if (it->is_number_unsigned()) {
        uint64_t v = it->get<uint64_t>();
        if (v > UINT32_MAX)
            return fail("is out of range");
        out = static_cast<uint32_t>(v);
        return true;
    }
    if (it->is_number_integer()) {
        int64_t v = it->get<int64_t>();
        if (v < 0 || v > int64_t(UINT32_MAX))
            return fail("is out of range");
        out = static_cast<uint32_t>(v);
        return true;
    }
    if (it->is_number_float()) {
        double v = it->get<double>();
        if (!(v >= 0 && v <= double(UINT32_MAX)) || std::floor(v) != v)
            return fail("must be a whole number from 0 to 4294967295");
        out = static_cast<uint32_t>(v);
        return true;
    }
    return fail("must be a number");
}

}  // namespace

std::optional<KeyCombo> KeyCombo::fromJSON(const nlohmann::json& json, std::string* error) {
    if (!json.is_object()) {
        if (error)
            *error = "a shortcut must be a JSON object";
        return std::nullopt;
    }
    KeyCombo combo;
    if (!readUInt32(json, "keyCode", combo.keyCode, error) ||
        !readUInt32(json, "carbonModifiers", combo.carbonModifiers, error))
        return std::nullopt;
    auto it = json.find("display");
    if (it == json.end() || !it->is_string()) {
        if (error)
            *error = it == json.end() ? "a shortcut's \"display\" is missing"
                                      : "a shortcut's \"display\" must be a string";
        return std::nullopt;
    }
    combo.display = it->get<std::string>();
    return combo;
}

}  // namespace dz
