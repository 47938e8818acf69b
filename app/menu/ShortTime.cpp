#include "app/menu/ShortTime.h"

#include <cmath>
#include <memory>

#include <unicode/datefmt.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

namespace dz::shorttime {

namespace {

std::string format(const icu::DateFormat* formatter, TimePoint time) {
    if (!formatter || !std::isfinite(time))
        return {};
    icu::UnicodeString text;
    formatter->format(static_cast<UDate>(time * 1000.0), text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

}  // namespace

std::string local(TimePoint time) {
    // A formatter per call: the locale or time zone may change while running,
    // and the menu asks at most once per opening.
    std::unique_ptr<icu::DateFormat> formatter(
        icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, icu::Locale::getDefault()));
    return format(formatter.get(), time);
}

TimeFormatter pattern(std::string_view pattern, std::string_view zone) {
    UErrorCode status = U_ZERO_ERROR;
    auto formatter = std::make_shared<icu::SimpleDateFormat>(
        icu::UnicodeString::fromUTF8(icu::StringPiece(pattern.data(), int32_t(pattern.size()))),
        icu::Locale::getRoot(), status);
    if (U_FAILURE(status))
        return [](TimePoint) { return std::string(); };
    formatter->adoptTimeZone(icu::TimeZone::createTimeZone(
        icu::UnicodeString::fromUTF8(icu::StringPiece(zone.data(), int32_t(zone.size())))));
    return [formatter](TimePoint time) { return format(formatter.get(), time); };
}

}  // namespace dz::shorttime
