#pragma once
// Between Wayland MIME types and the clipboard table: the types another
// client offers (untrusted, so bounded and filtered before use) and the
// types we offer for our own content (the X11 set in MIME names only).

#include <string>
#include <vector>

#include "linux/clipboard/MimeTypes.h"

namespace dz::wayland {

// Offers past these bounds are ignored: a hostile client could otherwise
// make every copy cost a long list walk or a huge allocation.
inline constexpr size_t maxOfferedTypes = 512;
inline constexpr size_t maxTypeLength = 255;

// Adds one offered type to `types` unless it is empty, too long, holds a
// control character, repeats one already there, or the list is full.
void addOfferedType(std::vector<std::string>& types, std::string type);

// The types to offer for these items, with their bytes. X11's own names for
// text (UTF8_STRING, STRING, TEXT) are left out: Wayland clients ask for
// MIME types, and Xwayland maps them for X11 applications.
std::vector<x11::MimeItem> offeredItems(const std::vector<ClipboardSnapshot::Entry>& items,
                                        const std::vector<x11::ReadOrigin>& origins = {});

}  // namespace dz::wayland
