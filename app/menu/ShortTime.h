#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/platform/Scheduler.h"

namespace dz {

// Formats a moment as a time of day, for texts such as the end of a pause.
using TimeFormatter = std::function<std::string(TimePoint)>;

namespace shorttime {

// The user's locale's short time style ("9:05 AM", "09:05") in the local
// time zone.
std::string local(TimePoint time);

// A fixed ICU date pattern in a named time zone: pattern("HH:mm", "UTC")
// gives the same text on every machine, for tests and tools.
TimeFormatter pattern(std::string_view pattern, std::string_view zone);

}  // namespace shorttime
}  // namespace dz
