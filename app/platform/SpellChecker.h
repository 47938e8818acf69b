#pragma once

#include <string_view>

namespace dz {

// The spelling check behind the PDF reflower's word test.
class SpellChecker {
  public:
    virtual ~SpellChecker() = default;
    // True when `text` holds no misspelled word. Called on the main thread;
    // must be quick (it runs once per hyphenated line end).
    virtual bool isWord(std::string_view text) const = 0;
};

}  // namespace dz
