#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "core/options/ListBullet.h"

namespace dz {

// Switches of the plain-text cleaning passes and of link cleaning.
struct CleaningOptions {
    bool removeInvisibleCharacters = true;
    bool normalizeSpaces = true;
    bool removeFootnoteReferences = true;
    bool removeMailtoPrefix = true;
    bool normalizeQuotes = true;
    bool normalizeNewlines = true;
    bool normalizeLists = true;
    ListBullet listBullet = ListBullet::bullet;
    bool trimWhitespace = true;
    bool removeTrackingParameters = true;
    bool unwrapRedirectLinks = true;

    static const CleaningOptions& defaultValue();

    // Every field, in declaration order.
    nlohmann::ordered_json toJSON() const;
    // Missing or null keys keep their defaults; a wrong type or unknown raw
    // value gives nothing and, when `error` is given, a message naming the key.
    static std::optional<CleaningOptions> fromJSON(const nlohmann::json& json, std::string* error = nullptr);

    bool operator==(const CleaningOptions&) const = default;
};

}  // namespace dz
