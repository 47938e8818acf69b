#include "core/options/MarkdownOptions.h"

#include "core/options/JSONFields.h"

namespace dz {

const MarkdownOptions& MarkdownOptions::defaultValue() {
    static const MarkdownOptions value;
    return value;
}

nlohmann::ordered_json MarkdownOptions::toJSON() const {
    nlohmann::ordered_json j;
    j["bullet"] = std::string(markdownbullet::rawValue(bullet));
    j["emphasis"] = std::string(markdownemphasis::rawValue(emphasis));
    j["convertTables"] = convertTables;
    j["includeImages"] = includeImages;
    return j;
}

std::optional<MarkdownOptions> MarkdownOptions::fromJSON(const nlohmann::json& json, std::string* error) {
    using namespace jsonfields;
    if (!requireObject(json, "Markdown options", error))
        return std::nullopt;
    MarkdownOptions o;
    bool ok = readEnum(json, "bullet", o.bullet, markdownbullet::fromRaw, error) &&
              readEnum(json, "emphasis", o.emphasis, markdownemphasis::fromRaw, error) &&
              readBool(json, "convertTables", o.convertTables, error) &&
              readBool(json, "includeImages", o.includeImages, error);
    if (!ok)
        return std::nullopt;
    return o;
}

}  // namespace dz
