#pragma once

namespace dz {

// The desktop's short alert sound, for a key that cannot be a shortcut.
class Bell {
  public:
    virtual ~Bell() = default;

    // Silent where the desktop has no bell.
    virtual void beep() = 0;
};

}  // namespace dz
