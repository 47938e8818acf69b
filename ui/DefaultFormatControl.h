#pragma once

#include "core/options/OutputFormat.h"

namespace dz {

// Changes the format copies are cleaned to unless a rule says otherwise.
class DefaultFormatControl {
  public:
    virtual ~DefaultFormatControl() = default;

    // Goes through the controller so that a copy following the default is
    // rewritten too.
    virtual void setDefaultFormat(OutputFormat format) = 0;
};

}  // namespace dz
