#include "core/text/Regex.h"

#include <cstdio>
#include <cstdlib>

#include "core/text/Unicode.h"

namespace dz {

Regex::Regex(std::string_view pattern, uint32_t flags) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError parseError;
    pattern_.reset(icu::RegexPattern::compile(unicode::toICU(pattern), flags, parseError, status));
    if (U_FAILURE(status) || !pattern_) {
        std::fprintf(stderr, "invalid pattern %.*s: %s\n", static_cast<int>(pattern.size()), pattern.data(),
                     u_errorName(status));
        std::abort();
    }
}

std::unique_ptr<icu::RegexMatcher> Regex::matcher(const icu::UnicodeString& text) const {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> m(pattern_->matcher(text, status));
    if (U_FAILURE(status))
        return nullptr;
    return m;
}

bool Regex::contains(const icu::UnicodeString& text) const {
    auto m = matcher(text);
    if (!m)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    bool found = m->find(status);
    return U_SUCCESS(status) && found;
}

bool Regex::contains(std::string_view text) const {
    return contains(unicode::toICU(text));
}

bool Regex::matchesWhole(std::string_view text) const {
    auto u = unicode::toICU(text);
    auto m = matcher(u);
    if (!m)
        return false;
    UErrorCode status = U_ZERO_ERROR;
    bool found = m->matches(status);
    return U_SUCCESS(status) && found;
}

icu::UnicodeString Regex::replaceAll(const icu::UnicodeString& text,
                                     const icu::UnicodeString& replacement) const {
    auto m = matcher(text);
    if (!m)
        return text;
    UErrorCode status = U_ZERO_ERROR;
    icu::UnicodeString result = m->replaceAll(replacement, status);
    return U_SUCCESS(status) ? result : text;
}

std::string Regex::replaceAll(std::string_view text, std::string_view replacement) const {
    auto u = unicode::toICU(text);
    return unicode::fromICU(replaceAll(u, unicode::toICU(replacement)));
}

icu::UnicodeString Regex::replaceAll(
    const icu::UnicodeString& text,
    const std::function<icu::UnicodeString(icu::RegexMatcher&)>& replace) const {
    auto m = matcher(text);
    if (!m)
        return text;
    icu::UnicodeString out;
    int32_t last = 0;
    UErrorCode status = U_ZERO_ERROR;
    while (m->find(status) && U_SUCCESS(status)) {
        int32_t start = m->start(status), end = m->end(status);
        if (U_FAILURE(status))
            return text;
        out.append(text, last, start - last);
        out.append(replace(*m));
        last = end;
    }
    if (U_FAILURE(status))
        return text;
    out.append(text, last, text.length() - last);
    return out;
}

}  // namespace dz
