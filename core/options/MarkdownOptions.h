#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "core/options/MarkdownBullet.h"
#include "core/options/MarkdownEmphasis.h"

namespace dz {

// Markdown style used by the converters.
struct MarkdownOptions {
    MarkdownBullet bullet = MarkdownBullet::dash;
    MarkdownEmphasis emphasis = MarkdownEmphasis::asterisks;
    bool convertTables = true;
    bool includeImages = true;

    static const MarkdownOptions& defaultValue();

    nlohmann::ordered_json toJSON() const;
    static std::optional<MarkdownOptions> fromJSON(const nlohmann::json& json, std::string* error = nullptr);

    bool operator==(const MarkdownOptions&) const = default;
};

}  // namespace dz
