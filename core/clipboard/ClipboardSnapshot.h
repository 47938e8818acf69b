#pragma once
// An immutable, ordered capture of the clipboard representations the engine
// can use, with decoded views of them.

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/clipboard/Pasteboard.h"
#include "core/clipboard/SkipReason.h"
#include "core/richtext/AttributedText.h"

namespace dz {

class ClipboardCapture;

class ClipboardSnapshot {
  public:
    struct Entry {
        std::string type;
        std::string data;  // raw bytes
        bool operator==(const Entry&) const = default;
    };

    using Capture = ClipboardCapture;

    // Representations larger than this are not captured.
    static constexpr size_t maxEntrySize = 31'457'280;
    // The capture list, in the order entries are kept.
    static const std::array<std::string_view, 9> capturedTypes;

    ClipboardSnapshot() = default;
    explicit ClipboardSnapshot(std::vector<Entry> entries);
    // For simulations: entries for the values given, no capture rules applied.
    ClipboardSnapshot(const std::optional<std::string>& plain, const std::optional<std::string>& html,
                      const std::optional<std::string>& rtf, const std::optional<std::string>& url);

    static Capture capture(const Pasteboard& pasteboard, bool ignoreMarker);
    // The same capture from a copy already read, item by item in the
    // clipboard's order.
    static Capture capture(const std::vector<Entry>& items, bool ignoreMarker);

    const std::vector<Entry>& entries() const;
    std::vector<std::string> types() const;
    std::optional<std::string_view> data(std::string_view type) const;
    bool has(std::string_view type) const { return data(type).has_value(); }

    std::optional<std::string> plainText() const;
    std::optional<std::string> html() const;
    std::optional<std::string> url() const;
    bool hasRich() const;
    std::optional<std::string> sourcePageURL() const;
    // The styled text of the richest entry that parses, or nothing; with
    // `textAndLinks`, HTML is read without paragraph styles.
    std::optional<AttributedText> attributedString(
        AttributedText::Detail detail = AttributedText::Detail::full) const;

    // The snapshot's items verbatim, marked as the program's own original.
    std::vector<Entry> restored() const;
    // Writes `restored()` to the pasteboard.
    void restore(Pasteboard& pasteboard) const;

    // The one decoding of a plain-text entry: UTF-8; UTF-16 only when the bytes
    // carry a byte-order mark, or are of even length, decode as valid UTF-16
    // and at least a quarter of them are zero; otherwise nothing.
    static std::optional<std::string> decodePlainText(std::string_view bytes);
    // HTML bytes: UTF-8; else UTF-16 after a byte-order mark; else Latin-1.
    static std::string decodeHTML(std::string_view bytes);

    bool operator==(const ClipboardSnapshot& other) const { return entries() == other.entries(); }

  private:
    using Reader = std::function<std::optional<std::string>(const std::string& type)>;
    static Capture capture(const std::vector<std::string>& types, const Reader& read, bool ignoreMarker);

    // Shared, never changed: a copy may be 30 MiB, and the controller keeps
    // the snapshot in several places and hands it to the render thread.
    std::shared_ptr<const std::vector<Entry>> entries_;
};

// Either a snapshot or the reason the copy is left alone.
class ClipboardCapture {
  public:
    ClipboardCapture(ClipboardSnapshot snapshot) : value_(std::move(snapshot)) {}
    ClipboardCapture(SkipReason reason) : value_(reason) {}
    bool isSnapshot() const { return std::holds_alternative<ClipboardSnapshot>(value_); }
    const ClipboardSnapshot* snapshot() const { return std::get_if<ClipboardSnapshot>(&value_); }
    ClipboardSnapshot* snapshot() { return std::get_if<ClipboardSnapshot>(&value_); }
    std::optional<SkipReason> skipReason() const {
        if (auto r = std::get_if<SkipReason>(&value_))
            return *r;
        return std::nullopt;
    }
    bool operator==(const ClipboardCapture&) const = default;

  private:
    std::variant<ClipboardSnapshot, SkipReason> value_;
};

}  // namespace dz
