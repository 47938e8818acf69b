#pragma once

#include <optional>
#include <string>

#include "core/clipboard/SkipReason.h"

namespace dz {

// The result of a full clean: skipped with a reason, cleaned, or unchanged.
class CleanOutcome {
  public:
    enum class Kind { skipped, cleaned, unchanged };

    static CleanOutcome skipped(SkipReason reason) { return CleanOutcome(Kind::skipped, reason); }
    static CleanOutcome cleaned() { return CleanOutcome(Kind::cleaned, std::nullopt); }
    static CleanOutcome unchanged() { return CleanOutcome(Kind::unchanged, std::nullopt); }

    Kind kind() const { return kind_; }
    std::optional<SkipReason> reason() const { return reason_; }

    std::string label() const {
        switch (kind_) {
            case Kind::skipped:
                return "skipped: " + std::string(skipreason::rawValue(*reason_));
            case Kind::cleaned:
                return "cleaned";
            case Kind::unchanged:
                return "already plain";
        }
        return "cleaned";
    }

    bool operator==(const CleanOutcome&) const = default;

  private:
    CleanOutcome(Kind kind, std::optional<SkipReason> reason) : kind_(kind), reason_(reason) {}
    Kind kind_;
    std::optional<SkipReason> reason_;
};

}  // namespace dz
