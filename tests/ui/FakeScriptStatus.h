#pragma once

#include "ui/ScriptStatus.h"

namespace dz {

class FakeScriptStatus : public ScriptStatus {
  public:
    std::optional<std::string> lastError;

    std::optional<std::string> scriptError() const override { return lastError; }
};

}  // namespace dz
