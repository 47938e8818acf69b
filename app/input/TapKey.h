#pragma once
// Which key a lone tap of arms the next copy to keep its formatting. A lone
// Alt opens the menu bar of many applications, so the user can pick another
// key, or none.

#include <array>
#include <optional>
#include <string_view>

namespace dz {

enum class TapKey { alt, shift, rightControl, off };

namespace tapkey {

inline constexpr std::array<TapKey, 4> allCases{TapKey::alt, TapKey::shift, TapKey::rightControl,
                                                TapKey::off};

std::string_view rawValue(TapKey key);
std::optional<TapKey> fromRaw(std::string_view raw);
// The key's name as the user reads it ("Right Ctrl"); "Off" for none.
std::string_view title(TapKey key);
// What a lone tap of the key may also do elsewhere; nothing for `off`.
std::optional<std::string_view> clash(TapKey key);

}  // namespace tapkey
}  // namespace dz
