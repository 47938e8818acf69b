#pragma once
// What the shortcut recorder and the Shortcuts tab ask of the program,
// recorded or answered from plain fields.

#include <vector>

#include "ui/Bell.h"
#include "ui/HotKeySuspension.h"
#include "ui/RefusedShortcuts.h"

namespace dz {

class FakeHotKeySuspension : public HotKeySuspension {
  public:
    std::vector<bool> suspensions;

    void suspendHotKeys(bool suspended) override { suspensions.push_back(suspended); }
};

class FakeBell : public Bell {
  public:
    int beeps = 0;

    void beep() override { ++beeps; }
};

class FakeRefusedShortcuts : public RefusedShortcuts {
  public:
    std::vector<KeyCombo> failed;

    std::vector<KeyCombo> failedShortcuts() const override { return failed; }
};

}  // namespace dz
