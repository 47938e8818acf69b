#pragma once

#include <functional>
#include <string_view>

namespace dz {

// The user's dictionary, for rejoining words hyphenated across PDF lines.
class WordDictionary {
  public:
    virtual ~WordDictionary() = default;

    // The PDF reflower's dictionary test; may be empty.
    virtual std::function<bool(std::string_view)> wordPredicate() const = 0;
};

}  // namespace dz
