#include "core/options/PDFOptions.h"

#include "core/options/JSONFields.h"

namespace dz {

const PDFOptions& PDFOptions::defaultValue() {
    static const PDFOptions value;
    return value;
}

nlohmann::ordered_json PDFOptions::toJSON() const {
    nlohmann::ordered_json j;
    j["fixLigatures"] = fixLigatures;
    j["dehyphenate"] = dehyphenate;
    j["removePageNumbers"] = removePageNumbers;
    return j;
}

std::optional<PDFOptions> PDFOptions::fromJSON(const nlohmann::json& json, std::string* error) {
    using namespace jsonfields;
    if (!requireObject(json, "PDF options", error))
        return std::nullopt;
    PDFOptions o;
    bool ok = readBool(json, "fixLigatures", o.fixLigatures, error) &&
              readBool(json, "dehyphenate", o.dehyphenate, error) &&
              readBool(json, "removePageNumbers", o.removePageNumbers, error);
    if (!ok)
        return std::nullopt;
    return o;
}

}  // namespace dz
