#pragma once

#include <vector>

#include "ui/DefaultFormatControl.h"

namespace dz {

// Records every default format asked for.
class FakeDefaultFormatControl : public DefaultFormatControl {
  public:
    std::vector<OutputFormat> set;

    void setDefaultFormat(OutputFormat format) override { set.push_back(format); }
};

}  // namespace dz
