#pragma once
// The one table between the X clipboard's MIME targets and the engine's type
// identifiers, with the decoders for the targets whose bytes need converting.
// Pure: no X connection here, so every rule is testable with a fake reader.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/clipboard/ClipboardSnapshot.h"

namespace dz::x11 {

namespace mime {
inline constexpr std::string_view textUTF8 = "text/plain;charset=utf-8";
inline constexpr std::string_view utf8String = "UTF8_STRING";
inline constexpr std::string_view textPlain = "text/plain";
inline constexpr std::string_view string = "STRING";
inline constexpr std::string_view text = "TEXT";
inline constexpr std::string_view html = "text/html";
inline constexpr std::string_view rtf = "text/rtf";
inline constexpr std::string_view applicationRTF = "application/rtf";
inline constexpr std::string_view richText = "text/richtext";
inline constexpr std::string_view mozURL = "text/x-moz-url";
inline constexpr std::string_view uriList = "text/uri-list";
inline constexpr std::string_view gnomeCopiedFiles = "x-special/gnome-copied-files";
inline constexpr std::string_view kdeCutSelection = "application/x-kde-cutselection";
inline constexpr std::string_view nautilusTextPrefix = "x-special/nautilus-clipboard\n";
inline constexpr std::string_view passwordHint = "x-kde-passwordManagerHint";
inline constexpr std::string_view chromiumSourceURL = "chromium/x-source-url";
inline constexpr std::string_view mozURLPriv = "text/x-moz-url-priv";
inline constexpr std::string_view qtImage = "application/x-qt-image";
inline constexpr std::string_view processedMarker = "application/x-dozuzavuvu-processed";
inline constexpr std::string_view originalMarker = "application/x-dozuzavuvu-original";
}  // namespace mime

// An X target with its bytes, as read or as served. Items in the engine's
// vocabulary ("public.html", ...) are `ClipboardSnapshot::Entry`. Copies
// share the bytes: plain text is served under five targets, and a large copy
// is kept once, not once a target.
struct MimeItem {
    MimeItem() = default;
    MimeItem(std::string target, std::string data)
        : target(std::move(target)), bytes_(std::make_shared<const std::string>(std::move(data))) {}
    MimeItem(std::string target, std::shared_ptr<const std::string> data)
        : target(std::move(target)), bytes_(std::move(data)) {}

    std::string target;
    const std::string& data() const {
        static const std::string none;
        return bytes_ ? *bytes_ : none;
    }
    const std::shared_ptr<const std::string>& sharedData() const { return bytes_; }
    bool operator==(const MimeItem& other) const { return target == other.target && data() == other.data(); }

  private:
    std::shared_ptr<const std::string> bytes_;
};

// Where an engine item came from, so a restored original can be served in
// the form the copying application offered.
struct ReadOrigin {
    ClipboardSnapshot::Entry item;
    MimeItem source;
    bool operator==(const ReadOrigin&) const = default;
};

struct ReadResult {
    std::vector<ClipboardSnapshot::Entry> items;  // types known from names alone carry empty data
    std::vector<ReadOrigin> origins;
};

// Reads one target's bytes (already checked for the right type); nothing when
// the owner refuses, times out or the data is too large.
using TargetReader = std::function<std::optional<std::string>(const std::string& target)>;

// Turns the offered targets into engine items, reading only what the engine
// can use. Concealed and file copies are decided by their names and their
// data is never read.
ReadResult readTargets(const std::vector<std::string>& targets, const TargetReader& read);

// The targets and bytes that serve these engine items. Plain text goes out in
// all five text forms; items that match a read origin go out as they came.
std::vector<MimeItem> toTargets(const std::vector<ClipboardSnapshot::Entry>& items,
                                const std::vector<ReadOrigin>& origins = {});

// `text/x-moz-url`: UTF-16 "address\ntitle" (UTF-8 tolerated). Nothing
// without an address.
struct MozURL {
    std::string url;
    std::optional<std::string> title;
    bool operator==(const MozURL&) const = default;
};
std::optional<MozURL> decodeMozURL(std::string_view bytes);

// `text/x-moz-url-priv`: the page address as UTF-16LE without a byte-order
// mark (a mark is honoured; plain UTF-8 tolerated), as UTF-8.
std::optional<std::string> decodeUTF16Address(std::string_view bytes);

// `text/uri-list`: comment lines skipped, CRLF or LF.
struct URIList {
    bool hasFiles = false;
    std::vector<std::string> addresses;
};
URIList parseURIList(std::string_view bytes);

// The text form some file managers put beside their file copies.
bool isNautilusTextForm(std::string_view text);

// The engine type an image target stands for, or nothing for other targets.
std::optional<std::string_view> imageType(std::string_view target);

// UTF-8 as ISO Latin-1 (the STRING target); characters beyond it become '?'.
std::string toLatin1(std::string_view utf8);

}  // namespace dz::x11
