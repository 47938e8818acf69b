#include "ui/DisplaySession.h"

namespace dz {

std::optional<std::string> pastingRulesNotice(bool hasDestinationRules, bool interceptorActive,
                                              PastingAppIdentification identification) {
    if (!hasDestinationRules)
        return std::nullopt;
    if (!interceptorActive || identification == PastingAppIdentification::none)
        return std::string(
            "This session does not tell which application is pasting, so these rules are not "
            "applied.");
    if (identification == PastingAppIdentification::x11ApplicationsOnly)
        return std::string("On this desktop these rules apply to X11 applications only.");
    return std::nullopt;
}

}  // namespace dz
