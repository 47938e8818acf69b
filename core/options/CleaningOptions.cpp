#include "core/options/CleaningOptions.h"

#include "core/options/JSONFields.h"

namespace dz {

const CleaningOptions& CleaningOptions::defaultValue() {
    static const CleaningOptions value;
    return value;
}

nlohmann::ordered_json CleaningOptions::toJSON() const {
    nlohmann::ordered_json j;
    j["removeInvisibleCharacters"] = removeInvisibleCharacters;
    j["normalizeSpaces"] = normalizeSpaces;
    j["removeFootnoteReferences"] = removeFootnoteReferences;
    j["removeMailtoPrefix"] = removeMailtoPrefix;
    j["normalizeQuotes"] = normalizeQuotes;
    j["normalizeNewlines"] = normalizeNewlines;
    j["normalizeLists"] = normalizeLists;
    j["listBullet"] = std::string(listbullet::rawValue(listBullet));
    j["trimWhitespace"] = trimWhitespace;
    j["removeTrackingParameters"] = removeTrackingParameters;
    j["unwrapRedirectLinks"] = unwrapRedirectLinks;
    return j;
}

std::optional<CleaningOptions> CleaningOptions::fromJSON(const nlohmann::json& json, std::string* error) {
    using namespace jsonfields;
    if (!requireObject(json, "cleaning options", error))
        return std::nullopt;
    CleaningOptions o;
    bool ok = readBool(json, "removeInvisibleCharacters", o.removeInvisibleCharacters, error) &&
              readBool(json, "normalizeSpaces", o.normalizeSpaces, error) &&
              readBool(json, "removeFootnoteReferences", o.removeFootnoteReferences, error) &&
              readBool(json, "removeMailtoPrefix", o.removeMailtoPrefix, error) &&
              readBool(json, "normalizeQuotes", o.normalizeQuotes, error) &&
              readBool(json, "normalizeNewlines", o.normalizeNewlines, error) &&
              readBool(json, "normalizeLists", o.normalizeLists, error) &&
              readEnum(json, "listBullet", o.listBullet, listbullet::fromRaw, error) &&
              readBool(json, "trimWhitespace", o.trimWhitespace, error) &&
              readBool(json, "removeTrackingParameters", o.removeTrackingParameters, error) &&
              readBool(json, "unwrapRedirectLinks", o.unwrapRedirectLinks, error);
    if (!ok)
        return std::nullopt;
    return o;
}

}  // namespace dz
