#pragma once

#include <optional>
#include <string>

#include "app/rules/RuleDirection.h"
#include "app/rules/RuleFormat.h"
#include "app/rules/RuleKind.h"

namespace dz {

// What choosing an item of a rule submenu does to the rule for one place.
struct RuleChange {
    RuleDirection direction = RuleDirection::source;
    RuleKind kind = RuleKind::app;
    std::string key;                   // the application's id, or the website's host
    std::string name;                  // the name a new app rule gets
    std::optional<RuleFormat> format;  // nothing: leave the format as it is
    std::optional<bool> fixPDF;        // nothing: leave the PDF fix as it is
    bool remove = false;

    bool operator==(const RuleChange&) const = default;
};

}  // namespace dz
