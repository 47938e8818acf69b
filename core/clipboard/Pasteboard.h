#pragma once
// The clipboard as the engine sees it: an ordered list of representations, each
// a type identifier ("public.html", ...) with its bytes, and a change counter.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dz {

class Pasteboard {
  public:
    Pasteboard() = default;
    Pasteboard(const Pasteboard&) = delete;
    Pasteboard& operator=(const Pasteboard&) = delete;
    virtual ~Pasteboard() = default;

    // The current types in the clipboard's order; nothing when unavailable.
    virtual std::optional<std::vector<std::string>> types() const = 0;
    // The bytes of a type; nothing when the type is absent or unreadable.
    virtual std::optional<std::string> data(const std::string& type) const = 0;
    // A type read as UTF-8 text; nothing when absent or not text.
    virtual std::optional<std::string> string(const std::string& type) const = 0;
    // Empties the clipboard; the change counter moves.
    virtual void clearContents() = 0;
    // Replaces the contents by these types, without data yet; the counter moves.
    virtual void declareTypes(const std::vector<std::string>& types) = 0;
    // Sets the bytes of a type; false when the clipboard refuses.
    virtual bool setData(const std::string& bytes, const std::string& type) = 0;
    virtual bool setString(const std::string& text, const std::string& type) = 0;
    virtual int64_t changeCount() const = 0;
};

}  // namespace dz
