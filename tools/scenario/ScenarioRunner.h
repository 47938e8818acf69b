#pragma once
// Runs one scenario (a JSON array of steps) against a controller wired to
// in-memory desktop services on a virtual clock, and writes what happened as
// one JSON object per line. The format is described in docs/scenarios.md.

#include <ostream>
#include <string>
#include <string_view>

namespace dz::scenario {

// Exit status of a malformed scenario.
inline constexpr int malformed = 2;

// Runs the scenario in `bytes`, writing events to `out`. Gives 0, or
// `malformed` with `error` set to "step N: reason" (nothing is written for
// that step or after it).
int run(std::string_view bytes, std::ostream& out, std::string* error);

}  // namespace dz::scenario
