#pragma once

#include <set>
#include <string>

#include "ui/WordDictionary.h"

namespace dz {

// Knows `words`; with none there is no dictionary at all.
class FakeWordDictionary : public WordDictionary {
  public:
    std::set<std::string, std::less<>> words;

    std::function<bool(std::string_view)> wordPredicate() const override {
        if (words.empty())
            return {};
        return [words = words](std::string_view word) { return words.count(word) > 0; };
    }
};

}  // namespace dz
