#pragma once

namespace dz {

// While recording a shortcut no global hot key may fire.
class HotKeySuspension {
  public:
    virtual ~HotKeySuspension() = default;

    // Releases every hot key, or registers them again from the settings
    // (refusals are published anew then).
    virtual void suspendHotKeys(bool suspended) = 0;
};

}  // namespace dz
