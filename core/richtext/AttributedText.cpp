#include "core/richtext/AttributedText.h"

#include "core/text/Unicode.h"

#include <algorithm>
#include <functional>

namespace dz {

namespace {
const CharacterAttributes kNoAttributes;
const ParagraphStyle kNoStyle;
}  // namespace

AttributedText::AttributedText(std::string_view text, const CharacterAttributes& attributes) {
    append(text, attributes);
}

std::string_view AttributedText::substring(size_t start, size_t end) const {
    end = std::min(end, string_.size());
    start = std::min(start, end);
    return std::string_view(string_).substr(start, end - start);
}

size_t AttributedText::runIndex(size_t position) const {
    auto it = std::upper_bound(runs_.begin(), runs_.end(), position,
                               [](size_t p, const Run& run) { return p < run.end; });
    if (it == runs_.end())
        return runs_.empty() ? 0 : runs_.size() - 1;
    return static_cast<size_t>(it - runs_.begin());
}

const CharacterAttributes& AttributedText::attributes(size_t position) const {
    if (position >= string_.size() || runs_.empty())
        return kNoAttributes;
    return attributeSets_[runs_[runIndex(position)].attributes];
}

const ParagraphStyle& AttributedText::paragraphStyle(size_t position) const {
    auto it = std::upper_bound(styles_.begin(), styles_.end(), position,
                               [](size_t p, const ParagraphStyleRange& range) { return p < range.end; });
    if (it == styles_.end() || position < it->start)
        return kNoStyle;
    return it->style;
}

std::vector<AttributedText::LinkRun> AttributedText::linkRuns() const {
    std::vector<LinkRun> out;
    for (const Run& run : runs_) {
        const auto& link = attributeSets_[run.attributes].link;
        if (!out.empty() && out.back().link == link)
            out.back().end = run.end;
        else
            out.push_back({run.start, run.end, link});
    }
    return out;
}

bool AttributedText::containsLinks() const {
    return std::any_of(runs_.begin(), runs_.end(),
                       [this](const Run& run) { return attributeSets_[run.attributes].link.has_value(); });
}

void AttributedText::append(std::string_view text, const CharacterAttributes& attributes) {
    if (text.empty())
        return;
    size_t start = string_.size();
    string_.append(text);
    if (!runs_.empty() && attributeSets_[runs_.back().attributes] == attributes) {
        runs_.back().end = string_.size();
        return;
    }
    auto [it, inserted] =
        attributeIndex_.try_emplace(attributes, static_cast<uint32_t>(attributeSets_.size()));
    if (inserted)
        attributeSets_.push_back(attributes);
    runs_.push_back({start, string_.size(), it->second});
}

bool AttributedText::rewriteTail(size_t start, const std::function<std::string(std::string_view)>& map) {
    if (start >= string_.size())
        return true;
    if (styledEnd_ > start)
        return false;
    std::vector<std::pair<std::string, uint32_t>> pieces;
    while (!runs_.empty() && runs_.back().end > start) {
        Run& run = runs_.back();
        size_t from = std::max(run.start, start);
        pieces.emplace_back(map(std::string_view(string_).substr(from, run.end - from)), run.attributes);
        if (run.start < start) {
            run.end = start;
            break;
        }
        runs_.pop_back();
    }
    string_.resize(start);
    for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
        CharacterAttributes attributes = attributeSets_[it->second];
        append(it->first, attributes);
    }
    return true;
}

void AttributedText::writeTailAsScript(size_t start, bool superscript) {
    if (start >= string_.size())
        return;
    auto form = [superscript](std::string_view text) {
        return superscript ? unicode::superscriptForm(text) : unicode::subscriptForm(text);
    };
    std::string_view core = unicode::trimWhitespaceAndNewlines(std::string_view(string_).substr(start));
    if (core.empty() || !form(core))
        return;
    rewriteTail(start, [&](std::string_view piece) {
        std::string out;
        for (size_t i = 0; i < piece.size();) {
            size_t from = i;
            char32_t c = unicode::nextCodePoint(piece, i);
            std::string_view character = piece.substr(from, i - from);
            if (unicode::isWhiteSpaceOrNewline(c))
                out += character;
            else
                out += form(character).value_or(std::string(character));
        }
        return out;
    });
}

void AttributedText::setParagraphStyle(size_t start, size_t end, ParagraphStyle&& style) {
    setStyle(start, end, std::move(style));
}

void AttributedText::setParagraphStyle(size_t start, size_t end, const ParagraphStyle& style) {
    setStyle(start, end, style);
}

template <typename Style>
void AttributedText::setStyle(size_t start, size_t end, Style&& style) {
    end = std::min(end, string_.size());
    if (style.empty() || start >= end)
        return;
    start = std::max(start, styledEnd_);
    if (start >= end)
        return;
    styledEnd_ = end;
    // Table cells keep theirs either way: the plain renderings lay a table
    // out in rows from them.
    if (!keepsParagraphStyles_ && style.textBlocks.empty())
        return;
    if (!styles_.empty() && styles_.back().end == start && styles_.back().style == style)
        styles_.back().end = end;
    else
        styles_.push_back({start, end, std::forward<Style>(style)});
}

size_t AttributedText::AttributesHash::operator()(const CharacterAttributes& a) const {
    size_t h = std::hash<int>()(a.strikethrough);
    auto mix = [&h](size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    if (a.font) {
        mix(std::hash<double>()(a.font->pointSize));
        mix((a.font->bold ? 1u : 0u) | (a.font->italic ? 2u : 0u) | (a.font->monospace ? 4u : 0u) |
            (a.font->fixedPitch ? 8u : 0u) | 16u);
    }
    if (a.link)
        mix(std::hash<std::string>()(*a.link));
    return h;
}

size_t AttributedText::addTable(TextTable table) {
    tables_.push_back(table);
    return tables_.size() - 1;
}

}  // namespace dz
