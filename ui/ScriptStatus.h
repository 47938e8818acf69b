#pragma once

#include <optional>
#include <string>

namespace dz {

// How the user's transform script last ran.
class ScriptStatus {
  public:
    virtual ~ScriptStatus() = default;

    // The last run's error message; nothing once a run succeeds.
    virtual std::optional<std::string> scriptError() const = 0;
};

}  // namespace dz
