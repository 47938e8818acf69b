#pragma once
// Field readers for the tolerant JSON form of the option records: a missing or
// null key keeps the default; a wrong type or unknown raw value is an error
// that names the key.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace dz::jsonfields {

// Returns false and sets `error` when the key is present with the wrong type.
inline bool readBool(const nlohmann::json& object, const char* key, bool& out, std::string* error) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    if (!it->is_boolean()) {
        if (error)
            *error = std::string("\"") + key + "\" must be true or false";
        return false;
    }
    out = it->get<bool>();
    return true;
}

// `fromRaw` turns a raw value string into the enumeration case, or nothing.
template <typename Enum, typename FromRaw>
bool readEnum(const nlohmann::json& object, const char* key, Enum& out, FromRaw fromRaw, std::string* error) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null())
        return true;
    if (it->is_string()) {
        if (std::optional<Enum> value = fromRaw(it->template get<std::string>())) {
            out = *value;
            return true;
        }
        if (error)
            *error = std::string("\"") + key + "\" has an unknown value \"" +
                     it->template get<std::string>() + "\"";
        return false;
    }
    if (error)
        *error = std::string("\"") + key + "\" must be a string";
    return false;
}

inline bool requireObject(const nlohmann::json& value, const char* what, std::string* error) {
    if (value.is_object())
        return true;
    if (error)
        *error = std::string(what) + " must be a JSON object";
    return false;
}

}  // namespace dz::jsonfields
