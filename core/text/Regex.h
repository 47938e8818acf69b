#pragma once
// A compiled ICU pattern, built once and shared. Patterns are immutable and
// thread-safe; every operation makes its own matcher. A matcher error (such
// as ICU's backtracking stack overflow) counts as no match.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <unicode/regex.h>

namespace dz {

class Regex {
  public:
    // `flags` are ICU's UREGEX_* flags. An invalid pattern is a programming
    // error and aborts.
    explicit Regex(std::string_view pattern, uint32_t flags = 0);

    const icu::RegexPattern& pattern() const { return *pattern_; }
    // A fresh matcher over `text`, or null when ICU refuses one.
    std::unique_ptr<icu::RegexMatcher> matcher(const icu::UnicodeString& text) const;

    bool contains(std::string_view text) const;
    bool contains(const icu::UnicodeString& text) const;
    bool matchesWhole(std::string_view text) const;
    // Replaces every match; `replacement` uses ICU's "$1" syntax.
    std::string replaceAll(std::string_view text, std::string_view replacement) const;
    icu::UnicodeString replaceAll(const icu::UnicodeString& text,
                                  const icu::UnicodeString& replacement) const;
    // Replaces every match by what `replace` returns for it.
    icu::UnicodeString replaceAll(const icu::UnicodeString& text,
                                  const std::function<icu::UnicodeString(icu::RegexMatcher&)>& replace) const;

  private:
    std::unique_ptr<icu::RegexPattern> pattern_;
};

}  // namespace dz
