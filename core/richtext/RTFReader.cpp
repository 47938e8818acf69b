#include "core/richtext/RTFReader.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/richtext/CodePageDecoder.h"
#include "core/richtext/TextFont.h"
#include "core/text/Unicode.h"

namespace dz {

namespace {

// What a group does with its text.
enum class Dest : uint8_t {
    text,       // document text
    skip,       // ignored wholesale, nested groups included
    ignore,     // no text, but control words are read (list tables, table properties)
    fontTable,  // font entries; text is a font name
    fieldInstruction,
    levelMarker,  // a list level's marker format
    upr,          // ANSI half of a \upr pair; its \ud half is read
};

enum class Kw : uint8_t {
    unknown,
    // destinations
    skipDestination,
    fonttbl,
    pict,
    object,
    field,
    fldinst,
    fldrslt,
    listtable,
    list,
    listlevel,
    listoverridetable,
    listoverride,
    levelmarker,
    textDestination,  // listtext, pntext, shppict: text as usual
    pn,
    nesttableprops,
    upr,
    ud,
    // text
    par,
    line,
    tab,
    cell,
    nestcell,
    row,
    nestrow,
    character,  // a fixed character (\emdash, \bullet, ...)
    dropCharacter,
    u,
    uc,
    bin,
    // character formatting
    plain,
    b,
    i,
    strike,
    striked,
    superscript,  // \super, \up
    subscript,    // \sub, \dn
    nosupersub,
    fs,
    f,
    v,
    // paragraph formatting
    pard,
    intbl,
    itap,
    ls,
    ilvl,
    trowd,
    cellx,
    // document
    deff,
    ansi,
    mac,
    pc,
    pca,
    ansicpg,
    // font table
    fontFamily,
    fprq,
    fcharset,
    cpg,
    // list table
    listid,
    levelnfc,
    levelstartat,
    // legacy paragraph numbering
    pnlvlblt,
    pnlvlbody,
    pnlvlcont,
    pnlvl,
    pnFormat,
    pnstart,
};

struct KeywordInfo {
    Kw kw;
    char32_t character = 0;        // for Kw::character; family code for Kw::fontFamily
    const char* format = nullptr;  // for Kw::pnFormat
};

const std::unordered_map<std::string_view, KeywordInfo>& keywords() {
    static const auto* table = [] {
        auto* t = new std::unordered_map<std::string_view, KeywordInfo>();
        for (const char* name : {"colortbl",
                                 "stylesheet",
                                 "info",
                                 "header",
                                 "headerl",
                                 "headerr",
                                 "headerf",
                                 "footer",
                                 "footerl",
                                 "footerr",
                                 "footerf",
                                 "footnote",
                                 "annotation",
                                 "atnid",
                                 "atnauthor",
                                 "atntime",
                                 "atnicn",
                                 "atnref",
                                 "atndate",
                                 "atnparent",
                                 "xe",
                                 "tc",
                                 "tcn",
                                 "txe",
                                 "rxe",
                                 "template",
                                 "revtbl",
                                 "filetbl",
                                 "private",
                                 "ftnsep",
                                 "ftnsepc",
                                 "ftncn",
                                 "aftnsep",
                                 "aftnsepc",
                                 "aftncn",
                                 "nonesttables",
                                 "nonshppict",
                                 "shprslt",
                                 "bkmkstart",
                                 "bkmkend",
                                 "comment",
                                 "listpicture",
                                 "pgdsctbl",
                                 "datafield",
                                 "docvar",
                                 "userprops",
                                 "fldtype",
                                 "panose",
                                 "falt",
                                 "fontemb",
                                 "fontfile",
                                 "leveltext",
                                 "levelnumbers",
                                 "listname",
                                 "liststylename",
                                 "picprop",
                                 "objdata",
                                 "objclass",
                                 "themedata",
                                 "colorschememapping",
                                 "latentstyles",
                                 "datastore",
                                 "xmlnstbl",
                                 "mmathPr",
                                 "generator",
                                 "expandedcolortbl",
                                 "pnseclvl",
                                 "background",
                                 "rsidtbl",
                                 "wgrffmtfilter",
                                 "defchp",
                                 "defpap",
                                 "fchars",
                                 "lchars",
                                 "pntxta",
                                 "pntxtb",
                                 "title",
                                 "subject",
                                 "author",
                                 "operator",
                                 "keywords",
                                 "doccomm",
                                 "company",
                                 "category",
                                 "manager",
                                 "hlinkbase",
                                 "buptim",
                                 "creatim",
                                 "printim",
                                 "revtim",
                                 "passwordhash",
                                 "protusertbl",
                                 "oldcprops",
                                 "oldpprops",
                                 "oldsprops",
                                 "oldtprops",
                                 "formfield",
                                 "ffname",
                                 "ffdeftext",
                                 "ffstattext",
                                 "ffhelptext",
                                 "ffentrymcr",
                                 "ffexitmcr",
                                 "ffformat",
                                 "ffl",
                                 "mmath",
                                 "sp",
                                 "sv",
                                 "sn",
                                 "shpinst",
                                 "shptxt",
                                 "do",
                                 "dptxbxtext",
                                 "blipuid",
                                 "xmlopen",
                                 "xmlclose",
                                 "xmlattrname",
                                 "xmlattrvalue",
                                 "NeXTGraphic",
                                 "macpict"})
            (*t)[name] = {Kw::skipDestination};
        auto add = [t](std::string_view name, Kw kw, char32_t c = 0, const char* format = nullptr) {
            (*t)[name] = {kw, c, format};
        };
        add("fonttbl", Kw::fonttbl);
        add("pict", Kw::pict);
        add("object", Kw::object);
        add("field", Kw::field);
        add("fldinst", Kw::fldinst);
        add("fldrslt", Kw::fldrslt);
        add("listtable", Kw::listtable);
        add("list", Kw::list);
        add("listlevel", Kw::listlevel);
        add("listoverridetable", Kw::listoverridetable);
        add("listoverride", Kw::listoverride);
        add("levelmarker", Kw::levelmarker);
        add("listtext", Kw::textDestination);
        add("pntext", Kw::textDestination);
        add("shppict", Kw::textDestination);
        add("pn", Kw::pn);
        add("nesttableprops", Kw::nesttableprops);
        add("upr", Kw::upr);
        add("ud", Kw::ud);
        add("par", Kw::par);
        add("line", Kw::line);
        add("tab", Kw::tab);
        add("cell", Kw::cell);
        add("nestcell", Kw::nestcell);
        add("row", Kw::row);
        add("nestrow", Kw::nestrow);
        add("emdash", Kw::character, U'\u2014');
        add("endash", Kw::character, U'\u2013');
        add("bullet", Kw::character, U'\u2022');
        add("lquote", Kw::character, U'\u2018');
        add("rquote", Kw::character, U'\u2019');
        add("ldblquote", Kw::character, U'\u201C');
        add("rdblquote", Kw::character, U'\u201D');
        add("emspace", Kw::character, U'\u2003');
        add("enspace", Kw::character, U'\u2002');
        add("qmspace", Kw::character, U'\u2005');
        add("zwj", Kw::character, U'\u200D');
        add("zwnj", Kw::character, U'\u200C');
        add("zwbo", Kw::character, U'\u200B');
        add("zwnbo", Kw::character, U'\u2060');
        add("ltrmark", Kw::character, U'\u200E');
        add("rtlmark", Kw::character, U'\u200F');
        add("u", Kw::u);
        add("uc", Kw::uc);
        add("bin", Kw::bin);
        add("plain", Kw::plain);
        add("b", Kw::b);
        add("i", Kw::i);
        add("strike", Kw::strike);
        add("striked", Kw::striked);
        add("super", Kw::superscript);
        add("up", Kw::superscript);
        add("sub", Kw::subscript);
        add("dn", Kw::subscript);
        add("nosupersub", Kw::nosupersub);
        add("fs", Kw::fs);
        add("f", Kw::f);
        add("v", Kw::v);
        add("pard", Kw::pard);
        add("intbl", Kw::intbl);
        add("itap", Kw::itap);
        add("ls", Kw::ls);
        add("ilvl", Kw::ilvl);
        add("trowd", Kw::trowd);
        add("cellx", Kw::cellx);
        add("deff", Kw::deff);
        add("ansi", Kw::ansi);
        add("mac", Kw::mac);
        add("pc", Kw::pc);
        add("pca", Kw::pca);
        add("ansicpg", Kw::ansicpg);
        add("fnil", Kw::fontFamily, 'n');
        add("froman", Kw::fontFamily, 'r');
        add("fswiss", Kw::fontFamily, 's');
        add("fmodern", Kw::fontFamily, 'm');
        add("fscript", Kw::fontFamily, 'c');
        add("fdecor", Kw::fontFamily, 'd');
        add("ftech", Kw::fontFamily, 't');
        add("fbidi", Kw::fontFamily, 'b');
        add("fprq", Kw::fprq);
        add("fcharset", Kw::fcharset);
        add("cpg", Kw::cpg);
        add("listid", Kw::listid);
        add("levelnfc", Kw::levelnfc);
        add("levelnfcn", Kw::levelnfc);
        add("levelstartat", Kw::levelstartat);
        add("pnlvlblt", Kw::pnlvlblt);
        add("pnlvlbody", Kw::pnlvlbody);
        add("pnlvlcont", Kw::pnlvlcont);
        add("pnlvl", Kw::pnlvl);
        add("pndec", Kw::pnFormat, 0, "{decimal}");
        add("pnucltr", Kw::pnFormat, 0, "{upper-alpha}");
        add("pnlcltr", Kw::pnFormat, 0, "{lower-alpha}");
        add("pnucrm", Kw::pnFormat, 0, "{upper-roman}");
        add("pnlcrm", Kw::pnFormat, 0, "{lower-roman}");
        add("pnstart", Kw::pnstart);
        return t;
    }();
    return *table;
}

bool isLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

const char* markerFormatForNumbering(int nfc) {
    switch (nfc) {
        case 1:
            return "{upper-roman}";
        case 2:
            return "{lower-roman}";
        case 3:
            return "{upper-alpha}";
        case 4:
            return "{lower-alpha}";
        case 23:
            return "{disc}";
        case 255:
            return "";
        default:
            return "{decimal}";
    }
}

// HYPERLINK "address" [\l "anchor"] [other switches] → the link.
std::optional<std::string> hyperlinkTarget(std::string_view instruction) {
    size_t i = 0;
    auto skipSpaces = [&] {
        while (i < instruction.size() && (instruction[i] == ' ' || instruction[i] == '\t' ||
                                          instruction[i] == '\r' || instruction[i] == '\n'))
            ++i;
    };
    auto argument = [&]() -> std::string {
        skipSpaces();
        std::string arg;
        if (i < instruction.size() && instruction[i] == '"') {
            ++i;
            while (i < instruction.size() && instruction[i] != '"') {
                if (instruction[i] == '\\' && i + 1 < instruction.size() &&
                    (instruction[i + 1] == '"' || instruction[i + 1] == '\\'))
                    ++i;
                arg += instruction[i++];
            }
            if (i < instruction.size())
                ++i;
        } else {
            while (i < instruction.size() && instruction[i] != ' ' && instruction[i] != '\t')
                arg += instruction[i++];
        }
        return arg;
    };
    skipSpaces();
    std::string_view keyword = "HYPERLINK";
    if (instruction.size() - i < keyword.size())
        return std::nullopt;
    for (size_t k = 0; k < keyword.size(); ++k) {
        char c = instruction[i + k];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != keyword[k])
            return std::nullopt;
    }
    i += keyword.size();
    std::string address, anchor;
    bool haveAddress = false;
    while (true) {
        skipSpaces();
        if (i >= instruction.size())
            break;
        if (instruction[i] == '\\' && i + 1 < instruction.size() && instruction[i + 1] != '\\') {
            char sw = instruction[i + 1];
            i += 2;
            if (sw == 'l')
                anchor = argument();
            else if (sw == 'o' || sw == 't')
                (void)argument();
            continue;
        }
        std::string arg = argument();
        if (!haveAddress) {
            address = arg;
            haveAddress = true;
        }
    }
    if (!anchor.empty())
        address += "#" + anchor;
    if (address.empty())
        return std::nullopt;
    return address;
}

}  // namespace

class RTFReader::Parser {
    // Bounds on what hostile input can make the reader keep.
    static constexpr size_t maxTableEntries = 10'000;  // fonts, lists, list overrides
    static constexpr size_t maxFields = 200'000;
    static constexpr size_t maxStyledParagraphs = 2'000'000;

  public:
    explicit Parser(std::string_view data) : data_(data) {}

    AttributedText run();

  private:
    struct State {
        Dest dest = Dest::text;
        Dest uprOuter = Dest::text;
        bool starred = false;  // "\*" seen, its destination word not yet
        // character formatting
        int font = -1;      // font number; -1 = the default font
        int fontSize = 24;  // half points
        bool bold = false;
        bool italic = false;
        bool hidden = false;
        int strike = 0;
        int script = 0;  // 1 superscript, -1 subscript
        int uc = 1;
        int link = -1;   // index into links_
        int field = -1;  // index into fields_
        // list table
        int list = -1;
        int level = -1;
        int override = -1;
        // paragraph formatting
        int ls = 0;
        int ilvl = 0;
        int itap = 0;
        bool intbl = false;
    };

    struct FontDef {
        char family = 'n';
        int pitch = 0;
        int codePage = 0;  // 0: the document's
        std::string name;
        bool named = false;  // name complete
        bool traitsKnown = false;
        bool monospace = false;
        bool fixedPitch = false;
    };

    struct ListLevel {
        int numbering = 0;
        int start = 1;
        std::string marker;
        bool hasMarker = false;
    };
    struct ListDef {
        int id = 0;
        std::vector<ListLevel> levels;
    };
    struct ListOverride {
        int listId = 0;
        int ls = 0;
    };
    struct Field {
        std::string instruction;
        bool parsed = false;
        int link = -1;
    };
    struct LegacyNumbering {
        bool active = false;
        int level = 1;
        std::string format = "{disc}";
        int start = 1;
    };
    struct TableLevel {
        bool open = false;
        size_t id = 0;
        int row = 0;
        int column = 0;
        int cellxCount = 0;
    };

    State& state() { return stack_.back(); }

    void openGroup();
    void closeGroup();
    void skipGroup();
    void readControl();
    void readText();
    void handleKeyword(std::string_view word, bool hasParam, int param);
    void handleSymbol(unsigned char c);
    void handleDestination(const KeywordInfo& info, std::string_view word);
    // The keyword groups of handleKeyword; each is true when it knew the keyword.
    // The list table: lists, their levels and the overrides that number them.
    bool listTableKeyword(const KeywordInfo& info, int param);
    // Keywords that write text or end a paragraph, cell or row.
    bool textKeyword(const KeywordInfo& info, int param);
    // Character formatting of the current group.
    bool characterFormatKeyword(const KeywordInfo& info, bool hasParam, int param);
    // Paragraph formatting: list membership and table nesting.
    bool paragraphFormatKeyword(const KeywordInfo& info, int param);
    // Document code page, default font and font table entries.
    bool documentKeyword(const KeywordInfo& info, int param);
    // Word 6 paragraph numbering (\\pn...).
    bool legacyNumberingKeyword(const KeywordInfo& info, int param);

    void emitText(std::string_view utf8);
    void emitCodePoint(char32_t c);
    void emitBytes(std::string_view bytes);
    void emitUnicode(int param);
    void flushBytes();
    void flushSurrogate();
    void endParagraph(int cellLevel);
    // Ends the superscript or subscript text written last.
    void finishScript();
    void endRow(int level);
    int paragraphTableLevel(const State& s) const;
    std::vector<TextList> textListsFor(const State& s);

    const CharacterAttributes& currentAttributes();
    CodePageDecoder& decoder();
    FontDef* fontFor(int number);
    void computeTraits(FontDef& font);
    void finishFontName();
    int linkOf(int field);

    std::string_view data_;
    size_t pos_ = 0;
    bool done_ = false;

    std::vector<State> stack_;
    size_t excessDepth_ = 0;  // groups opened beyond maxGroupDepth
    State overflowBase_;
    int skipUnits_ = 0;  // characters still to skip after \uN

    AttributedText out_;
    size_t paragraphStart_ = 0;
    bool attributesDirty_ = true;
    CharacterAttributes attributes_;
    CodePageDecoder* decoder_ = nullptr;
    std::string pendingBytes_;  // multi-byte code page text not yet decoded
    char16_t pendingHighSurrogate_ = 0;
    int script_ = 0;  // of the text written last
    size_t scriptStart_ = 0;

    int documentCodePage_ = 1252;
    int defaultFont_ = 0;
    std::unordered_map<int, FontDef> fonts_;
    int fontEntry_ = INT_MIN;  // font table entry being read
    std::unordered_map<int, std::unique_ptr<CodePageDecoder>> decoders_;

    std::vector<ListDef> lists_;
    std::vector<ListOverride> overrides_;
    std::unordered_map<int, int> listById_;          // list id → index in lists_
    std::unordered_map<int, int> overrideByNumber_;  // \ls number → index in overrides_
    LegacyNumbering legacy_;
    std::vector<Field> fields_;
    std::vector<std::string> links_;
    std::array<TableLevel, maxTableDepth + 1> tables_{};
    std::string scratch_;
};

AttributedText RTFReader::Parser::run() {
    stack_.reserve(64);
    stack_.emplace_back();
    // The text is never longer than its source, give or take a few escapes.
    out_.reserve(data_.size());
    // Skip to the opening brace of "{\rtf".
    while (pos_ < data_.size() && data_[pos_] != '{') ++pos_;
    size_t n = data_.size();
    while (!done_ && pos_ < n) {
        if (state().dest == Dest::skip && excessDepth_ == 0) {
            skipGroup();
            continue;
        }
        unsigned char c = static_cast<unsigned char>(data_[pos_]);
        if (c == '{') {
            ++pos_;
            openGroup();
        } else if (c == '}') {
            ++pos_;
            closeGroup();
        } else if (c == '\\') {
            readControl();
        } else {
            readText();
        }
    }
    flushBytes();
    flushSurrogate();
    finishScript();
    if (paragraphStart_ < out_.length()) {
        // A last paragraph without a paragraph mark keeps its style.
        size_t start = paragraphStart_;
        State& s = state();
        ParagraphStyle style;
        style.textLists = textListsFor(s);
        out_.setParagraphStyle(start, out_.length(), std::move(style));
    }
    return std::move(out_);
}

void RTFReader::Parser::openGroup() {
    flushBytes();
    skipUnits_ = 0;
    if (stack_.size() > maxGroupDepth) {
        if (excessDepth_++ == 0)
            overflowBase_ = state();
        return;
    }
    State copy = state();
    copy.starred = false;
    stack_.push_back(std::move(copy));
}

void RTFReader::Parser::closeGroup() {
    flushBytes();
    skipUnits_ = 0;
    if (excessDepth_ > 0) {
        if (--excessDepth_ == 0)
            state() = overflowBase_;
        attributesDirty_ = true;
        return;
    }
    if (state().dest == Dest::fontTable)
        finishFontName();
    if (stack_.size() <= 2) {
        // The document group closed; anything after it is not RTF.
        flushSurrogate();
        done_ = stack_.size() == 2;
        if (stack_.size() == 2)
            stack_.pop_back();
        return;
    }
    const State& inner = stack_.back();
    const State& outer = stack_[stack_.size() - 2];
    if (inner.font != outer.font || inner.fontSize != outer.fontSize || inner.bold != outer.bold ||
        inner.italic != outer.italic || inner.strike != outer.strike || inner.link != outer.link)
        attributesDirty_ = true;
    stack_.pop_back();
}

void RTFReader::Parser::skipGroup() {
    // Inside a skipped destination: find the brace that closes it, honouring
    // escapes and binary data, without keeping any state per nested group.
    size_t depth = 0;
    size_t n = data_.size();
    while (pos_ < n) {
        unsigned char c = static_cast<unsigned char>(data_[pos_++]);
        if (c == '{') {
            ++depth;
        } else if (c == '}') {
            if (depth == 0) {
                stack_.back().dest = Dest::ignore;  // the brace pops it
                closeGroup();
                return;
            }
            --depth;
        } else if (c == '\\' && pos_ < n) {
            unsigned char d = static_cast<unsigned char>(data_[pos_]);
            if (!isLetter(d)) {
                ++pos_;
                continue;
            }
            size_t start = pos_;
            while (pos_ < n && isLetter(static_cast<unsigned char>(data_[pos_]))) ++pos_;
            std::string_view word = data_.substr(start, pos_ - start);
            if (word != "bin")
                continue;
            long long value = 0;
            bool negative = pos_ < n && data_[pos_] == '-';
            if (negative)
                ++pos_;
            while (pos_ < n && isDigit(static_cast<unsigned char>(data_[pos_]))) {
                value = std::min<long long>(value * 10 + (data_[pos_] - '0'), static_cast<long long>(n));
                ++pos_;
            }
            if (pos_ < n && data_[pos_] == ' ')
                ++pos_;
            if (!negative)
                pos_ += std::min<size_t>(static_cast<size_t>(value), n - pos_);
        }
    }
}

void RTFReader::Parser::readControl() {
    size_t n = data_.size();
    ++pos_;  // backslash
    if (pos_ >= n)
        return;
    unsigned char c = static_cast<unsigned char>(data_[pos_]);
    if (!isLetter(c)) {
        ++pos_;
        if (c == '\'') {
            int hi = pos_ < n ? unicode::hexDigitValue(static_cast<unsigned char>(data_[pos_])) : -1;
            int lo = pos_ + 1 < n ? unicode::hexDigitValue(static_cast<unsigned char>(data_[pos_ + 1])) : -1;
            // A malformed escape consumes its valid hex digits and gives nothing.
            pos_ += hi < 0 ? 0 : (lo < 0 ? 1 : 2);
            if (skipUnits_ > 0) {
                --skipUnits_;
                return;
            }
            if (hi >= 0 && lo >= 0) {
                char byte = static_cast<char>(hi * 16 + lo);
                emitBytes(std::string_view(&byte, 1));
            }
            return;
        }
        flushBytes();
        if (skipUnits_ > 0) {
            --skipUnits_;
            return;
        }
        handleSymbol(c);
        return;
    }
    size_t start = pos_;
    while (pos_ < n && isLetter(static_cast<unsigned char>(data_[pos_]))) ++pos_;
    std::string_view word = data_.substr(start, pos_ - start);
    bool hasParam = false;
    bool negative = false;
    long long value = 0;
    if (pos_ < n && data_[pos_] == '-' && pos_ + 1 < n &&
        isDigit(static_cast<unsigned char>(data_[pos_ + 1]))) {
        negative = true;
        ++pos_;
    }
    while (pos_ < n && isDigit(static_cast<unsigned char>(data_[pos_]))) {
        hasParam = true;
        // Saturate: overflowing parameters clamp instead of wrapping.
        value = std::min<long long>(value * 10 + (data_[pos_] - '0'), static_cast<long long>(INT_MAX) + 1);
        ++pos_;
    }
    if (pos_ < n && data_[pos_] == ' ')
        ++pos_;
    long long signedValue = negative ? -value : value;
    int param = static_cast<int>(std::clamp<long long>(signedValue, INT_MIN, INT_MAX));
    if (word == "bin") {
        // Binary data is never text; a length past the end stops at the end.
        flushBytes();
        if (hasParam && param > 0)
            pos_ += std::min<size_t>(static_cast<size_t>(param), n - pos_);
        if (skipUnits_ > 0)
            --skipUnits_;
        return;
    }
    if (word.size() > 32)
        word = std::string_view();  // not a keyword anyone writes
    if (skipUnits_ > 0) {
        flushBytes();
        --skipUnits_;
        state().starred = false;
        return;
    }
    handleKeyword(word, hasParam, param);
}

void RTFReader::Parser::readText() {
    size_t n = data_.size();
    size_t start = pos_;
    while (pos_ < n) {
        unsigned char c = static_cast<unsigned char>(data_[pos_]);
        if (c == '{' || c == '}' || c == '\\' || c < 0x20)
            break;
        ++pos_;
    }
    if (pos_ == start) {
        // A control character: a literal tab is a tab, the rest (line
        // breaks of the file, NULs) are not text.
        unsigned char c = static_cast<unsigned char>(data_[pos_++]);
        if (c == '\t') {
            if (skipUnits_ > 0) {
                --skipUnits_;
                return;
            }
            flushBytes();
            emitText("\t");
        }
        return;
    }
    std::string_view text = data_.substr(start, pos_ - start);
    if (skipUnits_ > 0) {
        size_t skip = std::min<size_t>(static_cast<size_t>(skipUnits_), text.size());
        skipUnits_ -= static_cast<int>(skip);
        text.remove_prefix(skip);
    }
    state().starred = false;
    emitBytes(text);
}

void RTFReader::Parser::handleSymbol(unsigned char c) {
    switch (c) {
        case '\\':
        case '{':
        case '}':
            emitBytes(std::string_view(reinterpret_cast<const char*>(&c), 1));
            break;
        case '~':
            emitCodePoint(U'\u00A0');
            break;
        case '_':
            emitCodePoint(U'\u2011');
            break;
        case '*':
            state().starred = true;
            return;
        case '\n':
        case '\r':
            if (state().dest == Dest::text)
                endParagraph(0);
            break;
        case '\t':
            emitText("\t");
            break;
        default:  // \- optional hyphen, \: index subentry, \| formula: nothing
            break;
    }
    state().starred = false;
}

void RTFReader::Parser::handleKeyword(std::string_view word, bool hasParam, int param) {
    flushBytes();
    const auto& table = keywords();
    auto it = table.find(word);
    State& s = state();
    bool starred = s.starred;
    s.starred = false;
    if (it == table.end()) {
        // An ignorable destination this reader does not know.
        if (starred)
            s.dest = Dest::skip;
        return;
    }
    const KeywordInfo& info = it->second;
    switch (info.kw) {
        case Kw::skipDestination:
        case Kw::fonttbl:
        case Kw::pict:
        case Kw::object:
        case Kw::field:
        case Kw::fldinst:
        case Kw::fldrslt:
        case Kw::listtable:
        case Kw::listoverridetable:
        case Kw::levelmarker:
        case Kw::textDestination:
        case Kw::pn:
        case Kw::nesttableprops:
        case Kw::upr:
        case Kw::ud:
            handleDestination(info, word);
            return;
        case Kw::unknown:
            if (starred)
                s.dest = Dest::skip;
            return;
        default:
            break;
    }
    // Each group of keywords in turn, until one knows the keyword.
    (void)(listTableKeyword(info, param) || textKeyword(info, param) ||
           characterFormatKeyword(info, hasParam, param) || paragraphFormatKeyword(info, param) ||
           documentKeyword(info, param) || legacyNumberingKeyword(info, param));
}

bool RTFReader::Parser::listTableKeyword(const KeywordInfo& info, int param) {
    State& s = state();
    switch (info.kw) {
        case Kw::list:
            if (s.dest == Dest::ignore && lists_.size() < maxTableEntries) {
                lists_.emplace_back();
                s.list = static_cast<int>(lists_.size()) - 1;
                s.level = -1;
            }
            return true;
        case Kw::listlevel:
            if (s.list >= 0 && lists_[s.list].levels.size() < 9) {
                lists_[s.list].levels.emplace_back();
                s.level = static_cast<int>(lists_[s.list].levels.size()) - 1;
            } else {
                s.level = -1;
            }
            return true;
        case Kw::listoverride:
            if (s.dest == Dest::ignore && overrides_.size() < maxTableEntries) {
                overrides_.emplace_back();
                s.override = static_cast<int>(overrides_.size()) - 1;
            }
            return true;
        case Kw::listid:
            if (s.override >= 0) {
                overrides_[s.override].listId = param;
            } else if (s.list >= 0) {
                lists_[s.list].id = param;
                listById_.try_emplace(param, s.list);
            }
            return true;
        case Kw::levelnfc:
            if (s.list >= 0 && s.level >= 0)
                lists_[s.list].levels[s.level].numbering = param;
            return true;
        case Kw::levelstartat:
            if (s.list >= 0 && s.level >= 0)
                lists_[s.list].levels[s.level].start = param;
            return true;
        default:
            return false;
    }
}

bool RTFReader::Parser::textKeyword(const KeywordInfo& info, int param) {
    State& s = state();
    switch (info.kw) {
        case Kw::par:
            if (s.dest == Dest::text)
                endParagraph(0);
            return true;
        case Kw::line:
            emitCodePoint(U'\u2028');
            return true;
        case Kw::tab:
            emitText("\t");
            return true;
        case Kw::cell:
            if (s.dest == Dest::text)
                endParagraph(1);
            return true;
        case Kw::nestcell:
            if (s.dest == Dest::text)
                endParagraph(std::max(2, paragraphTableLevel(s)));
            return true;
        case Kw::row:
            endRow(1);
            return true;
        case Kw::nestrow:
            endRow(std::max(2, paragraphTableLevel(s)));
            return true;
        case Kw::character:
            emitCodePoint(info.character);
            return true;
        case Kw::dropCharacter:
            return true;
        case Kw::u:
            emitUnicode(param);
            skipUnits_ = s.uc;
            return true;
        case Kw::uc:
            s.uc = std::max(0, param);
            return true;
        default:
            return false;
    }
}

bool RTFReader::Parser::characterFormatKeyword(const KeywordInfo& info, bool hasParam, int param) {
    State& s = state();
    int value = hasParam ? param : 1;
    switch (info.kw) {
        case Kw::plain:
            s.font = -1;
            s.fontSize = 24;
            s.bold = s.italic = s.hidden = false;
            s.strike = 0;
            s.script = 0;
            attributesDirty_ = true;
            return true;
        case Kw::b:
            s.bold = value != 0;
            attributesDirty_ = true;
            return true;
        case Kw::i:
            s.italic = value != 0;
            attributesDirty_ = true;
            return true;
        case Kw::strike:
            s.strike = value != 0 ? 1 : 0;
            attributesDirty_ = true;
            return true;
        case Kw::striked:
            s.strike = value != 0 ? 9 : 0;
            attributesDirty_ = true;
            return true;
        case Kw::superscript:
            s.script = value != 0 ? 1 : 0;
            return true;
        case Kw::subscript:
            s.script = value != 0 ? -1 : 0;
            return true;
        case Kw::nosupersub:
            s.script = 0;
            return true;
        case Kw::fs:
            s.fontSize = hasParam && param > 0 ? std::min(param, 32767) : 24;
            attributesDirty_ = true;
            return true;
        case Kw::f:
            if (s.dest == Dest::fontTable) {
                finishFontName();
                fontEntry_ = INT_MIN;
                if (fonts_.size() < maxTableEntries || fonts_.count(param)) {
                    fontEntry_ = param;
                    fonts_[param] = FontDef();
                }
            } else {
                s.font = param;
                attributesDirty_ = true;
            }
            return true;
        case Kw::v:
            s.hidden = value != 0;
            return true;
        default:
            return false;
    }
}

bool RTFReader::Parser::paragraphFormatKeyword(const KeywordInfo& info, int param) {
    State& s = state();
    switch (info.kw) {
        case Kw::pard:
            s.ls = s.ilvl = s.itap = 0;
            s.intbl = false;
            legacy_ = LegacyNumbering();
            return true;
        case Kw::intbl:
            s.intbl = true;
            return true;
        case Kw::itap:
            s.itap = std::clamp(param, 0, maxTableDepth);
            return true;
        case Kw::ls:
            if (s.override >= 0) {
                overrides_[s.override].ls = param;
                overrideByNumber_.try_emplace(param, s.override);
            } else {
                s.ls = param;
            }
            return true;
        case Kw::ilvl:
            s.ilvl = std::clamp(param, 0, 8);
            return true;
        case Kw::trowd:
            tables_[std::max(1, paragraphTableLevel(s))].cellxCount = 0;
            return true;
        case Kw::cellx: {
            TableLevel& t = tables_[std::max(1, paragraphTableLevel(s))];
            t.cellxCount = std::min(t.cellxCount + 1, maxColumns);
            return true;
        }
        default:
            return false;
    }
}

bool RTFReader::Parser::documentKeyword(const KeywordInfo& info, int param) {
    State& s = state();
    switch (info.kw) {
        case Kw::deff:
            defaultFont_ = param;
            attributesDirty_ = true;
            return true;
        case Kw::ansi:
            documentCodePage_ = 1252;
            attributesDirty_ = true;
            return true;
        case Kw::mac:
            documentCodePage_ = 10000;
            attributesDirty_ = true;
            return true;
        case Kw::pc:
            documentCodePage_ = 437;
            attributesDirty_ = true;
            return true;
        case Kw::pca:
            documentCodePage_ = 850;
            attributesDirty_ = true;
            return true;
        case Kw::ansicpg:
            if (param > 0)
                documentCodePage_ = param;
            attributesDirty_ = true;
            return true;
        case Kw::fontFamily:
            if (s.dest == Dest::fontTable && fontEntry_ != INT_MIN)
                fonts_[fontEntry_].family = static_cast<char>(info.character);
            return true;
        case Kw::fprq:
            if (s.dest == Dest::fontTable && fontEntry_ != INT_MIN)
                fonts_[fontEntry_].pitch = param;
            return true;
        case Kw::fcharset:
            if (s.dest == Dest::fontTable && fontEntry_ != INT_MIN) {
                FontDef& font = fonts_[fontEntry_];
                if (font.codePage == 0)
                    font.codePage = CodePageDecoder::codePageForCharset(param);
            }
            return true;
        case Kw::cpg:
            if (s.dest == Dest::fontTable && fontEntry_ != INT_MIN && param > 0)
                fonts_[fontEntry_].codePage = param;
            return true;
        default:
            return false;
    }
}

bool RTFReader::Parser::legacyNumberingKeyword(const KeywordInfo& info, int param) {
    switch (info.kw) {
        case Kw::pnlvlblt:
            legacy_.active = true;
            legacy_.level = 1;
            legacy_.format = "{disc}";
            return true;
        case Kw::pnlvlbody:
            legacy_.active = true;
            legacy_.level = 1;
            if (legacy_.format == "{disc}")
                legacy_.format = "{decimal}";
            return true;
        case Kw::pnlvl:
            legacy_.active = true;
            legacy_.level = std::clamp(param, 1, 9);
            return true;
        case Kw::pnlvlcont:
            legacy_.active = false;
            return true;
        case Kw::pnFormat:
            legacy_.format = info.format;
            return true;
        case Kw::pnstart:
            legacy_.start = param;
            return true;
        default:
            return false;
    }
}

void RTFReader::Parser::handleDestination(const KeywordInfo& info, std::string_view word) {
    State& s = state();
    switch (info.kw) {
        case Kw::skipDestination:
            s.dest = Dest::skip;
            break;
        case Kw::fonttbl:
            s.dest = Dest::fontTable;
            fontEntry_ = INT_MIN;
            break;
        case Kw::pict:
        case Kw::object:
            // A picture or embedded object is one attachment character.
            if (s.dest == Dest::text)
                emitCodePoint(U'\uFFFC');
            s.dest = Dest::skip;
            break;
        case Kw::field:
            if (fields_.size() < maxFields) {
                fields_.emplace_back();
                s.field = static_cast<int>(fields_.size()) - 1;
            }
            break;
        case Kw::fldinst:
            if (s.dest == Dest::text || s.dest == Dest::fieldInstruction)
                s.dest = s.field >= 0 ? Dest::fieldInstruction : Dest::skip;
            break;
        case Kw::fldrslt:
            if (s.dest == Dest::text && s.field >= 0) {
                int link = linkOf(s.field);
                if (link >= 0) {
                    s.link = link;
                    attributesDirty_ = true;
                }
            }
            break;
        case Kw::listtable:
        case Kw::listoverridetable:
        case Kw::nesttableprops:
            s.dest = Dest::ignore;
            s.list = s.level = s.override = -1;
            break;
        case Kw::levelmarker:
            s.dest = (s.list >= 0 && s.level >= 0) ? Dest::levelMarker : Dest::skip;
            if (s.dest == Dest::levelMarker) {
                ListLevel& level = lists_[s.list].levels[s.level];
                level.marker.clear();
                level.hasMarker = true;
            }
            break;
        case Kw::textDestination:
            break;
        case Kw::pn:
            s.dest = Dest::ignore;
            break;
        case Kw::upr:
            s.uprOuter = s.dest;
            s.dest = Dest::upr;
            break;
        case Kw::ud:
            if (s.dest == Dest::upr)
                s.dest = s.uprOuter;
            break;
        default:
            (void)word;
            break;
    }
}

CodePageDecoder& RTFReader::Parser::decoder() {
    if (!decoder_ || attributesDirty_) {
        int codePage = documentCodePage_;
        if (FontDef* font = fontFor(state().font); font && font->codePage != 0)
            codePage = font->codePage;
        if (!decoder_ || decoder_->codePage() != codePage) {
            auto& slot = decoders_[codePage];
            if (!slot)
                slot = std::make_unique<CodePageDecoder>(codePage);
            decoder_ = slot.get();
        }
    }
    return *decoder_;
}

void RTFReader::Parser::emitBytes(std::string_view bytes) {
    if (bytes.empty())
        return;
    Dest dest = state().dest;
    if (dest == Dest::ignore || dest == Dest::upr || dest == Dest::skip)
        return;
    CodePageDecoder& dec = decoder();
    if (dec.isMultiByte()) {
        if (pendingBytes_.size() > (1u << 20))
            flushBytes();
        pendingBytes_.append(bytes);
        return;
    }
    bool ascii = true;
    for (unsigned char c : bytes)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        emitText(bytes);
        return;
    }
    scratch_.clear();
    for (unsigned char c : bytes) {
        if (c < 0x80)
            scratch_ += static_cast<char>(c);
        else
            unicode::appendCodePoint(scratch_, dec.decodeByte(c));
    }
    std::string text;
    text.swap(scratch_);
    emitText(text);
    scratch_.swap(text);
}

void RTFReader::Parser::flushBytes() {
    if (pendingBytes_.empty())
        return;
    std::string bytes;
    bytes.swap(pendingBytes_);
    std::string text;
    decoder().decode(bytes, text);
    emitText(text);
}

void RTFReader::Parser::emitUnicode(int param) {
    int unit = param < 0 ? param + 65536 : param;
    if (unit < 0 || unit > 0xFFFF) {
        flushSurrogate();
        emitCodePoint(U'\uFFFD');
        return;
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        flushSurrogate();
        pendingHighSurrogate_ = static_cast<char16_t>(unit);
        return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (pendingHighSurrogate_) {
            char32_t c = 0x10000 + ((static_cast<char32_t>(pendingHighSurrogate_) - 0xD800) << 10) +
                         (static_cast<char32_t>(unit) - 0xDC00);
            pendingHighSurrogate_ = 0;
            emitCodePoint(c);
        } else {
            emitCodePoint(U'\uFFFD');
        }
        return;
    }
    if (unit < 0x20 && unit != '\t')
        return;  // control characters are not text
    emitCodePoint(static_cast<char32_t>(unit));
}

void RTFReader::Parser::flushSurrogate() {
    if (!pendingHighSurrogate_)
        return;
    pendingHighSurrogate_ = 0;
    emitCodePoint(U'\uFFFD');
}

void RTFReader::Parser::emitCodePoint(char32_t c) {
    char buffer[4];
    size_t n = 0;
    if (c < 0x80) {
        buffer[n++] = static_cast<char>(c);
    } else if (c < 0x800) {
        buffer[n++] = static_cast<char>(0xC0 | (c >> 6));
        buffer[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        buffer[n++] = static_cast<char>(0xE0 | (c >> 12));
        buffer[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        buffer[n++] = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        buffer[n++] = static_cast<char>(0xF0 | (c >> 18));
        buffer[n++] = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        buffer[n++] = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        buffer[n++] = static_cast<char>(0x80 | (c & 0x3F));
    }
    emitText(std::string_view(buffer, n));
}

void RTFReader::Parser::emitText(std::string_view utf8) {
    if (pendingHighSurrogate_)
        flushSurrogate();
    State& s = state();
    switch (s.dest) {
        case Dest::text:
            if (!s.hidden) {
                if (s.script != script_) {
                    finishScript();
                    script_ = s.script;
                    scriptStart_ = out_.length();
                }
                out_.append(utf8, currentAttributes());
            }
            break;
        case Dest::fontTable:
            if (fontEntry_ != INT_MIN) {
                FontDef& font = fonts_[fontEntry_];
                for (char c : utf8) {
                    if (c == ';') {
                        finishFontName();
                        break;
                    }
                    if (!font.named && font.name.size() < 256)
                        font.name += c;
                }
            }
            break;
        case Dest::fieldInstruction:
            if (s.field >= 0 && fields_[s.field].instruction.size() < 65536)
                fields_[s.field].instruction.append(utf8);
            break;
        case Dest::levelMarker:
            if (s.list >= 0 && s.level >= 0 && lists_[s.list].levels[s.level].marker.size() < 64)
                lists_[s.list].levels[s.level].marker.append(utf8);
            break;
        default:
            break;
    }
}

void RTFReader::Parser::finishFontName() {
    if (fontEntry_ == INT_MIN)
        return;
    auto it = fonts_.find(fontEntry_);
    if (it != fonts_.end() && !it->second.named) {
        FontDef& font = it->second;
        font.named = true;
        std::string_view name = unicode::trimWhitespace(font.name);
        font.name = std::string(name);
        font.traitsKnown = false;
    }
}

RTFReader::Parser::FontDef* RTFReader::Parser::fontFor(int number) {
    auto it = fonts_.find(number < 0 ? defaultFont_ : number);
    return it == fonts_.end() ? nullptr : &it->second;
}

void RTFReader::Parser::computeTraits(FontDef& font) {
    if (font.traitsKnown)
        return;
    bool namedMono = TextFont::isMonospaceFamilyName(font.name);
    font.fixedPitch = font.pitch == 1 || namedMono;
    font.monospace = font.family == 'm' || font.fixedPitch;
    font.traitsKnown = true;
}

const CharacterAttributes& RTFReader::Parser::currentAttributes() {
    if (!attributesDirty_)
        return attributes_;
    const State& s = state();
    TextFont font;
    font.pointSize = s.fontSize / 2.0;
    font.bold = s.bold;
    font.italic = s.italic;
    if (FontDef* def = fontFor(s.font)) {
        computeTraits(*def);
        font.monospace = def->monospace;
        font.fixedPitch = def->fixedPitch;
    }
    CharacterAttributes attributes;
    attributes.font = font;
    attributes.strikethrough = s.strike;
    if (s.link >= 0)
        attributes.link = links_[s.link];
    attributes_ = std::move(attributes);
    attributesDirty_ = false;
    return attributes_;
}

int RTFReader::Parser::linkOf(int fieldIndex) {
    Field& field = fields_[fieldIndex];
    if (!field.parsed) {
        field.parsed = true;
        if (auto target = hyperlinkTarget(field.instruction)) {
            links_.push_back(std::move(*target));
            field.link = static_cast<int>(links_.size()) - 1;
        }
    }
    return field.link;
}

int RTFReader::Parser::paragraphTableLevel(const State& s) const {
    if (s.itap > 0)
        return s.itap;
    return s.intbl ? 1 : 0;
}

std::vector<TextList> RTFReader::Parser::textListsFor(const State& s) {
    std::vector<TextList> lists;
    if (s.ls > 0) {
        const ListDef* def = nullptr;
        if (auto o = overrideByNumber_.find(s.ls); o != overrideByNumber_.end())
            if (auto l = listById_.find(overrides_[o->second].listId); l != listById_.end())
                def = &lists_[l->second];
        for (int level = 0; level <= s.ilvl; ++level) {
            TextList list;
            if (def && static_cast<size_t>(level) < def->levels.size()) {
                const ListLevel& l = def->levels[level];
                list.markerFormat = l.hasMarker ? l.marker : markerFormatForNumbering(l.numbering);
                list.startingItemNumber = l.start;
            } else {
                list.markerFormat = "{disc}";
            }
            lists.push_back(std::move(list));
        }
    } else if (legacy_.active) {
        for (int level = 1; level <= legacy_.level; ++level) lists.push_back({legacy_.format, legacy_.start});
    }
    return lists;
}

void RTFReader::Parser::finishScript() {
    if (script_ != 0)
        out_.writeTailAsScript(scriptStart_, script_ > 0);
    script_ = 0;
}

void RTFReader::Parser::endParagraph(int cellLevel) {
    flushBytes();
    flushSurrogate();
    finishScript();
    State& s = state();
    // The paragraph mark carries the formatting but never a link.
    const CharacterAttributes& current = currentAttributes();
    if (current.link) {
        CharacterAttributes attributes = current;
        attributes.link.reset();
        out_.append("\n", attributes);
    } else {
        out_.append("\n", current);
    }

    int level = cellLevel > 0 ? std::min(cellLevel, maxTableDepth) : paragraphTableLevel(s);
    ParagraphStyle style;
    style.textLists = textListsFor(s);
    for (int l = 1; l <= level; ++l) {
        TableLevel& t = tables_[l];
        if (!t.open) {
            t.open = true;
            t.id = out_.addTable({std::max(t.cellxCount, 1)});
            t.row = 0;
            t.column = 0;
        }
        style.textBlocks.push_back({t.id, t.row, t.column});
    }
    if (out_.paragraphStyles().size() < maxStyledParagraphs)
        out_.setParagraphStyle(paragraphStart_, out_.length(), std::move(style));
    paragraphStart_ = out_.length();
    for (int l = level + 1; l <= maxTableDepth; ++l) tables_[l].open = false;
    if (cellLevel > 0) {
        TableLevel& t = tables_[level];
        TextTable& table = out_.table(t.id);
        table.numberOfColumns = std::max({table.numberOfColumns, t.column + 1, t.cellxCount});
        t.column = std::min(t.column + 1, maxColumns - 1);
    }
}

void RTFReader::Parser::endRow(int level) {
    level = std::min(level, maxTableDepth);
    TableLevel& t = tables_[level];
    if (!t.open)
        return;
    TextTable& table = out_.table(t.id);
    table.numberOfColumns = std::max(table.numberOfColumns, t.cellxCount);
    ++t.row;
    t.column = 0;
}

std::optional<AttributedText> RTFReader::read(std::string_view rtf) {
    if (!looksLikeRTF(rtf))
        return std::nullopt;
    Parser parser(rtf);
    return parser.run();
}

bool RTFReader::looksLikeRTF(std::string_view data) {
    size_t i = 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n')) ++i;
    return data.substr(i, 5) == "{\\rtf";
}

}  // namespace dz
