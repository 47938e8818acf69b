#pragma once

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace dz {

// Switches of the PDF line-break repair.
struct PDFOptions {
    bool fixLigatures = true;
    bool dehyphenate = true;
    bool removePageNumbers = true;

    static const PDFOptions& defaultValue();

    nlohmann::ordered_json toJSON() const;
    static std::optional<PDFOptions> fromJSON(const nlohmann::json& json, std::string* error = nullptr);

    bool operator==(const PDFOptions&) const = default;
};

}  // namespace dz
