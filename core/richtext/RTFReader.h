#pragma once
// Reads RTF, as word processors put it on the clipboard, into attributed
// text: styled runs, links from HYPERLINK fields, list paragraphs (with their
// marker text kept in the string) and table-cell paragraphs.
//
// Hostile input is read without recursion, in time linear in its size, and
// keeps whatever text it can: group nesting beyond a fixed depth shares the
// deepest state, unbalanced braces are tolerated, \bin lengths and numeric
// parameters are clamped.

#include <cstddef>
#include <optional>
#include <string_view>

#include "core/richtext/AttributedText.h"

namespace dz {

class RTFReader {
  public:
    // Nothing when the data does not start with "{\rtf" (after white space).
    static std::optional<AttributedText> read(std::string_view rtf);
    static bool looksLikeRTF(std::string_view data);

    // Group states kept on the explicit stack; deeper groups share the
    // deepest one.
    static constexpr size_t maxGroupDepth = 1024;
    // Nesting levels of tables and columns per table that are kept apart;
    // cells beyond them join the last one.
    static constexpr int maxTableDepth = 16;
    static constexpr int maxColumns = 256;

  private:
    class Parser;
};

}  // namespace dz
