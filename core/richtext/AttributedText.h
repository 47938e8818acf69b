#pragma once
// Styled text as the rich-text readers produce it and the converters read it:
// the string, character attribute runs, paragraph styles (lists and table
// cells) and the tables those cells belong to.
//
// Positions are byte offsets into the UTF-8 string and always fall on code
// point boundaries. They stand in for UTF-16 positions: ranges, runs and their
// order are the same; only the unit differs.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/richtext/CharacterAttributes.h"
#include "core/richtext/ParagraphStyle.h"
#include "core/richtext/TextTable.h"

namespace dz {

class AttributedText {
  public:
    // A maximal stretch of uniform character attributes. Attribute sets are
    // stored once and shared by index, so heavily formatted text stays small.
    struct Run {
        size_t start = 0;
        size_t end = 0;
        uint32_t attributes = 0;  // index into attributeSets()
        bool operator==(const Run&) const = default;
    };
    // A maximal stretch with one link value (or none).
    struct LinkRun {
        size_t start = 0;
        size_t end = 0;
        std::optional<std::string> link;
        bool operator==(const LinkRun&) const = default;
    };
    struct ParagraphStyleRange {
        size_t start = 0;
        size_t end = 0;
        ParagraphStyle style;
        bool operator==(const ParagraphStyleRange&) const = default;
    };

    // How much a reader keeps. `textAndLinks` is for callers that read only
    // the string, its runs and its tables: paragraph styles outside table
    // cells are not stored then (though they still hold rewriteTail back as
    // if they were), so a list of a million items costs no million styles.
    enum class Detail { full, textAndLinks };

    AttributedText() = default;
    explicit AttributedText(Detail detail) : keepsParagraphStyles_(detail == Detail::full) {}
    // Plain text with one set of attributes.
    explicit AttributedText(std::string_view text, const CharacterAttributes& attributes = {});

    const std::string& string() const { return string_; }
    size_t length() const { return string_.size(); }
    bool empty() const { return string_.empty(); }
    std::string_view substring(size_t start, size_t end) const;

    // The runs cover the whole string, in order; neighbours differ.
    const std::vector<Run>& runs() const { return runs_; }
    // The index of the run holding `position` (< length()).
    size_t runIndex(size_t position) const;
    const CharacterAttributes& attributes(size_t position) const;
    const CharacterAttributes& attributes(const Run& run) const { return attributeSets_[run.attributes]; }
    const std::vector<CharacterAttributes>& attributeSets() const { return attributeSets_; }

    // The style of the paragraph holding `position`; the empty style where
    // none was set.
    const ParagraphStyle& paragraphStyle(size_t position) const;
    const std::vector<ParagraphStyleRange>& paragraphStyles() const { return styles_; }

    const std::vector<TextTable>& tables() const { return tables_; }

    // Runs of the link attribute alone, covering the string in order.
    std::vector<LinkRun> linkRuns() const;
    bool containsLinks() const;

    // Building. Text is only ever appended; an append with the attributes of
    // the last run extends it.
    void append(std::string_view text, const CharacterAttributes& attributes);
    // Replaces the text from `start` to the end, keeping each stretch's
    // attributes: `map` rewrites the text of each run piece alone (so it
    // must work character by character). False, and nothing changed, when a
    // paragraph style already covers part of it.
    bool rewriteTail(size_t start, const std::function<std::string(std::string_view)>& map);
    // Writes the text from `start` on in Unicode superscript (subscript)
    // characters when every character of it but white space has such a form
    // (10<sup>6</sup> is 10⁶, H<sub>2</sub>O is H₂O); otherwise leaves it.
    void writeTailAsScript(size_t start, bool superscript);
    // Gives [start, end) a paragraph style. Ranges are set in ascending
    // order and must not overlap earlier ones; an empty style is not stored.
    void setParagraphStyle(size_t start, size_t end, ParagraphStyle&& style);
    // The same, copying the style only when it starts a range.
    void setParagraphStyle(size_t start, size_t end, const ParagraphStyle& style);
    size_t addTable(TextTable table);
    void reserve(size_t bytes) { string_.reserve(bytes); }
    TextTable& table(size_t index) { return tables_[index]; }

  private:
    template <typename Style>
    void setStyle(size_t start, size_t end, Style&& style);

    struct AttributesHash {
        size_t operator()(const CharacterAttributes& a) const;
    };

    std::string string_;
    std::vector<Run> runs_;
    std::vector<CharacterAttributes> attributeSets_;
    std::unordered_map<CharacterAttributes, uint32_t, AttributesHash> attributeIndex_;
    std::vector<ParagraphStyleRange> styles_;
    size_t styledEnd_ = 0;  // where the last paragraph style ends, kept or not
    bool keepsParagraphStyles_ = true;
    std::vector<TextTable> tables_;
};

}  // namespace dz
