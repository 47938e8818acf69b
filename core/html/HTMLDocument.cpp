#include "core/html/HTMLDocument.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include <gumbo.h>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

#include "core/text/Unicode.h"

namespace dz {

namespace {

// ---------------------------------------------------------------------------
// Nesting estimate
//
// A tokenizer that knows just enough of HTML (tags, attributes with quotes,
// comments, raw-text elements, script escapes, foreign content) and a model
// of the open-element stack. Only elements whose end tag cannot be omitted
// are pushed. End tags pop the model only where the tree builder would: not
// across a scope boundary (table, select, object, ...), and a plain end tag
// not across a "special" element. Where the real parser might pop more, the
// model pops less, so the estimate errs high.

enum NameFlag : uint8_t {
    uncounted = 1,    // void elements and elements with optional end tags
    special = 2,      // a plain end tag does not close across these
    boundary = 4,     // scope boundaries: no end tag closes across these
    formatting = 8,   // a, b, i...: the end tag removes the element itself
    rawText = 16,     // content is text up to the matching end tag
    breakout = 32,    // leaves svg/math content
    integration = 64  // svg/math element whose content is HTML again
};

const std::unordered_map<std::string_view, uint8_t>& nameFlags() {
    static const auto* table = [] {
        auto* t = new std::unordered_map<std::string_view, uint8_t>();
        for (std::string_view n :
             {"area",     "base",    "basefont", "bgsound", "br",    "col",  "embed", "frame",  "hr",
              "image",    "img",     "input",    "keygen",  "link",  "meta", "param", "source", "track",
              "wbr",      "html",    "head",     "body",    "p",     "li",   "dt",    "dd",     "option",
              "colgroup", "caption", "thead",    "tbody",   "tfoot", "tr",   "td",    "th"})
            (*t)[n] |= uncounted;
        for (std::string_view n : {"address",    "applet",
                                   "article",    "aside",
                                   "blockquote", "button",
                                   "center",     "details",
                                   "dir",        "div",
                                   "dl",         "fieldset",
                                   "figcaption", "figure",
                                   "footer",     "form",
                                   "frameset",   "h1",
                                   "h2",         "h3",
                                   "h4",         "h5",
                                   "h6",         "header",
                                   "hgroup",     "listing",
                                   "main",       "marquee",
                                   "menu",       "nav",
                                   "noscript",   "object",
                                   "ol",         "pre",
                                   "search",     "section",
                                   "select",     "summary",
                                   "table",      "template",
                                   "ul",         "foreignobject",
                                   "desc",       "title",
                                   "mi",         "mo",
                                   "mn",         "ms",
                                   "mtext",      "annotation-xml"})
            (*t)[n] |= special;
        for (std::string_view n :
             {"applet", "marquee", "object", "table", "template", "select", "foreignobject", "desc", "title",
              "mi", "mo", "mn", "ms", "mtext", "annotation-xml"})
            (*t)[n] |= boundary;
        for (std::string_view n : {"a", "b", "big", "code", "em", "font", "i", "nobr", "s", "small", "strike",
                                   "strong", "tt", "u"})
            (*t)[n] |= formatting;
        for (std::string_view n :
             {"script", "style", "xmp", "iframe", "noembed", "noframes", "textarea", "title"})
            (*t)[n] |= rawText;
        for (std::string_view n :
             {"b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
              "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
              "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
              "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strong",
              "strike", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"})
            (*t)[n] |= breakout;
        for (std::string_view n :
             {"foreignobject", "desc", "title", "mi", "mo", "mn", "ms", "mtext", "annotation-xml"})
            (*t)[n] |= integration;
        return t;
    }();
    return *table;
}

bool isTagSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r';
}

bool isASCIILetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool startsWithNoCase(std::string_view text, size_t at, std::string_view lowerPrefix) {
    if (text.size() - at < lowerPrefix.size())
        return false;
    for (size_t i = 0; i < lowerPrefix.size(); ++i)
        if (asciiLower(text[at + i]) != lowerPrefix[i])
            return false;
    return true;
}

struct TransparentHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
};

class NestingEstimator {
  public:
    NestingEstimator(std::string_view html, size_t limit) : html_(html), limit_(limit) {}

    size_t run() {
        size_t i = 0;
        const size_t n = html_.size();
        while (i < n && !tooDeep()) {
            const void* lt = std::memchr(html_.data() + i, '<', n - i);
            if (!lt)
                break;
            i = static_cast<size_t>(static_cast<const char*>(lt) - html_.data()) + 1;
            if (i >= n)
                break;
            char c = html_[i];
            if (c == '!') {
                i = html_.compare(i, 3, "!--") == 0 ? skipComment(i + 1) : skipPast('>', i);
            } else if (c == '?') {
                i = skipPast('>', i);
            } else if (c == '/') {
                i = i + 1 < n && isASCIILetter(html_[i + 1]) ? readEndTag(i + 1) : skipPast('>', i);
            } else if (isASCIILetter(c)) {
                i = readStartTag(i);
            }
            if (i == npos)
                break;
        }
        return tooManyAttributes_ ? SIZE_MAX : maxDepth_;
    }

  private:
    static constexpr size_t npos = std::string_view::npos;

    // A tag from its name at `at` to just after its ">"; npos when the input
    // ends inside it.
    size_t readStartTag(size_t at) {
        std::string_view name;
        size_t i = readName(at, name);
        bool selfClosing = false;
        i = skipAttributes(i, selfClosing);
        return i == npos ? npos : startTag(name, selfClosing, i);
    }

    size_t readEndTag(size_t at) {
        std::string_view name;
        size_t i = readName(at, name);
        bool selfClosing = false;
        i = skipAttributes(i, selfClosing);
        if (i != npos)
            endTag(name);
        return i;
    }

    struct Entry {
        uint32_t name;  // interned
        uint8_t flags;
        bool foreign;  // svg/math content
        bool dead;     // removed from the middle by a formatting end tag
    };

    bool tooDeep() const { return maxDepth_ > limit_ || tooManyAttributes_; }

    size_t skipPast(char c, size_t from) const {
        size_t at = html_.find(c, from);
        return at == npos ? npos : at + 1;
    }

    // `at` is just after "<!--". Ends at "-->" or "--!>", also the abrupt
    // "<!-->" and "<!--->" forms.
    size_t skipComment(size_t at) const {
        size_t start = at + 2;  // after "!--"
        if (html_.compare(start, 1, ">") == 0)
            return start + 1;
        if (html_.compare(start, 2, "->") == 0)
            return start + 2;
        for (size_t i = start;; ++i) {
            i = html_.find("--", i);
            if (i == npos)
                return npos;
            if (html_.compare(i + 2, 1, ">") == 0)
                return i + 3;
            if (html_.compare(i + 2, 2, "!>") == 0)
                return i + 4;
        }
    }

    size_t readName(size_t at, std::string_view& name) {
        size_t end = at;
        while (end < html_.size() && !isTagSpace(html_[end]) && html_[end] != '/' && html_[end] != '>') ++end;
        nameBuffer_.assign(html_.data() + at, end - at);
        for (char& ch : nameBuffer_) ch = asciiLower(ch);
        name = nameBuffer_;
        return end;
    }

    // From just after the tag name to just after ">"; npos at the end of the
    // input (the tokenizer drops an unfinished tag).
    size_t skipAttributes(size_t i, bool& selfClosing) {
        const size_t n = html_.size();
        size_t count = 0;
        while (true) {
            while (i < n && (isTagSpace(html_[i]) || html_[i] == '/')) {
                selfClosing = html_[i] == '/' && i + 1 < n && html_[i + 1] == '>';
                ++i;
            }
            if (i >= n)
                return npos;
            if (html_[i] == '>')
                return i + 1;
            selfClosing = false;
            if (++count > HTMLDocument::maximumAttributesPerTag) {
                tooManyAttributes_ = true;
                return npos;
            }
            ++i;  // the first character of a name may be anything, even "="
            while (i < n && !isTagSpace(html_[i]) && html_[i] != '/' && html_[i] != '>' && html_[i] != '=')
                ++i;
            while (i < n && isTagSpace(html_[i])) ++i;
            if (i < n && html_[i] == '=') {
                ++i;
                while (i < n && isTagSpace(html_[i])) ++i;
                if (i < n && (html_[i] == '"' || html_[i] == '\'')) {
                    i = skipPast(html_[i], i + 1);
                    if (i == npos)
                        return npos;
                } else {
                    while (i < n && !isTagSpace(html_[i]) && html_[i] != '>') ++i;
                }
            }
        }
    }

    uint32_t intern(std::string_view name, uint8_t& flags) {
        auto it = ids_.find(name);
        if (it == ids_.end()) {
            uint8_t f = 0;
            auto known = nameFlags().find(name);
            if (known != nameFlags().end())
                f = known->second;
            it = ids_.emplace(std::string(name), static_cast<uint32_t>(flagsById_.size())).first;
            flagsById_.push_back(f);
            positions_.emplace_back();
        }
        flags = flagsById_[it->second];
        return it->second;
    }

    const Entry* top() const { return stack_.empty() ? nullptr : &stack_.back(); }

    bool inForeignContent() const {
        const Entry* t = top();
        return t && t->foreign && !(t->flags & integration);
    }

    void push(uint32_t id, uint8_t flags, bool foreign) {
        uint32_t index = static_cast<uint32_t>(stack_.size());
        stack_.push_back({id, flags, foreign, false});
        positions_[id].push_back(index);
        if (flags & special)
            specials_.push_back(index);
        if (flags & boundary)
            boundaries_.push_back(index);
        ++live_;
        if (live_ > maxDepth_)
            maxDepth_ = live_;
        // Dead entries are bounded by live ones in practice; refuse if not.
        if (stack_.size() > 4 * limit_ + 4)
            maxDepth_ = SIZE_MAX;
    }

    void popTop() {
        Entry e = stack_.back();
        uint32_t index = static_cast<uint32_t>(stack_.size() - 1);
        stack_.pop_back();
        if (e.dead)
            return;
        positions_[e.name].pop_back();
        if (!specials_.empty() && specials_.back() == index)
            specials_.pop_back();
        if (!boundaries_.empty() && boundaries_.back() == index)
            boundaries_.pop_back();
        --live_;
    }

    void popTo(uint32_t index) {
        while (stack_.size() > index) popTop();
        while (!stack_.empty() && stack_.back().dead) popTop();
    }

    size_t startTag(std::string_view name, bool selfClosing, size_t after) {
        uint8_t flags = 0;
        uint32_t id = intern(name, flags);
        bool foreign = inForeignContent();
        if (foreign && (flags & breakout)) {
            while (inForeignContent()) popTop();
            popTo(static_cast<uint32_t>(stack_.size()));
            foreign = false;
        }
        if (foreign) {
            // `font` may break out depending on its attributes; count it
            // either way.
            if (selfClosing && name != "font")
                return after;
            push(id, flags & ~rawText, true);
            return after;
        }
        if (name == "plaintext")
            return npos;  // the rest of the input is text
        if (flags & rawText)
            return name == "script" ? skipScript(after) : skipRawText(name, after);
        if (flags & uncounted)
            return after;
        push(id, flags, name == "svg" || name == "math");
        return after;
    }

    void endTag(std::string_view name) {
        uint8_t flags = 0;
        uint32_t id = intern(name, flags);
        if (flags & uncounted)
            return;
        std::vector<uint32_t>& at = positions_[id];
        if (at.empty())
            return;
        uint32_t index = at.back();
        if (!boundaries_.empty() && boundaries_.back() > index)
            return;  // not in scope
        if (!(flags & special) && !specials_.empty() && specials_.back() > index) {
            if (flags & formatting) {
                // The adoption agency takes the element out of the stack
                // and keeps what is above it.
                stack_[index].dead = true;
                at.pop_back();
                --live_;
            }
            return;
        }
        popTo(index);
    }

    // The matching end tag: "</name" followed by a space, "/" or ">".
    bool isEndTagOf(std::string_view name, size_t at) const {
        if (html_.compare(at, 2, "</") != 0 || !startsWithNoCase(html_, at + 2, name))
            return false;
        size_t after = at + 2 + name.size();
        return after < html_.size() &&
               (isTagSpace(html_[after]) || html_[after] == '/' || html_[after] == '>');
    }

    size_t skipRawText(std::string_view name, size_t i) const {
        while (true) {
            i = html_.find("</", i);
            if (i == npos)
                return npos;
            if (isEndTagOf(name, i))
                return skipPast('>', i);
            i += 2;
        }
    }

    // Script data with its escaped ("<!--") and double-escaped
    // ("<!--<script>") states, where "</script>" does not always end it.
    size_t skipScript(size_t i) const {
        enum { data, escaped, doubleEscaped } state = data;
        const size_t n = html_.size();
        while (i < n) {
            if (state == data) {
                size_t next = html_.find('<', i);
                if (next == npos)
                    return npos;
                i = next;
                if (isEndTagOf("script", i))
                    return skipPast('>', i);
                if (html_.compare(i, 4, "<!--") == 0) {
                    state = escaped;
                    i += 4;
                    continue;
                }
                ++i;
                continue;
            }
            if (html_.compare(i, 3, "-->") == 0) {
                state = data;
                i += 3;
                continue;
            }
            if (state == escaped) {
                if (isEndTagOf("script", i))
                    return skipPast('>', i);
                if (html_[i] == '<' && startsWithNoCase(html_, i + 1, "script") && i + 7 < n &&
                    (isTagSpace(html_[i + 7]) || html_[i + 7] == '/' || html_[i + 7] == '>')) {
                    state = doubleEscaped;
                    i += 7;
                    continue;
                }
            } else if (isEndTagOf("script", i)) {
                state = escaped;
                i += 8;
                continue;
            }
            ++i;
        }
        return npos;
    }

    std::string_view html_;
    size_t limit_;
    std::string nameBuffer_;
    std::unordered_map<std::string, uint32_t, TransparentHash, std::equal_to<>> ids_;
    std::vector<uint8_t> flagsById_;
    std::vector<std::vector<uint32_t>> positions_;  // stack indexes per name
    std::vector<Entry> stack_;
    std::vector<uint32_t> specials_, boundaries_;
    size_t live_ = 0;
    size_t maxDepth_ = 0;
    bool tooManyAttributes_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------

namespace {

// Gumbo allocates every node, string and vector apart and frees them one by
// one: a 1 MiB list is a million blocks, and destroying the tree walks it
// again to free each. The document's memory comes from this pool instead:
// small blocks carved from large chunks and recycled by size while Gumbo
// parses, everything released at once with the document.
// `size` bytes aligned to `size` (a power of two), in huge pages where the
// system offers them; null without memory.
void* mapRegion(size_t size) {
#if __has_include(<sys/mman.h>)
    // Twice the size, to cut an aligned region out of it.
    void* mapped = mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return nullptr;
    auto start = reinterpret_cast<uintptr_t>(mapped);
    uintptr_t aligned = (start + size - 1) & ~(uintptr_t{size} - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (aligned + size < start + 2 * size)
        munmap(reinterpret_cast<void*>(aligned + size), start + 2 * size - aligned - size);
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE);
#endif
    return reinterpret_cast<void*>(aligned);
#else
    return std::aligned_alloc(size, size);
#endif
}

void unmapRegion(void* region, size_t size) {
    if (!region)
        return;
#if __has_include(<sys/mman.h>)
    munmap(region, size);
#else
    (void)size;
    std::free(region);
#endif
}

class GumboPool {
  public:
    GumboPool() = default;
    GumboPool(const GumboPool&) = delete;
    GumboPool& operator=(const GumboPool&) = delete;
    ~GumboPool() {
        while (large_) {
            Large* next = large_->next;
            std::free(large_);
            large_ = next;
        }
        for (void* chunk : chunks_) std::free(chunk);
        for (void* region : regions_) unmapRegion(region, regionSize);
    }

    // Called from C: a failure is a null block, as from malloc, never an
    // exception through Gumbo's frames.
    static void* allocate(void* pool, size_t size) noexcept {
        try {
            return static_cast<GumboPool*>(pool)->allocate(size);
        } catch (...) {
            return nullptr;
        }
    }
    static void deallocate(void* pool, void* block) noexcept {
        static_cast<GumboPool*>(pool)->deallocate(block);
    }

  private:
    // Each block is preceded by its size, so a freed one finds its list.
    // Gumbo's structures need no more than pointer alignment.
    static constexpr size_t header = sizeof(size_t);
    static constexpr size_t granule = alignof(void*);
    static constexpr size_t largestSmall = 256;
    // Most copies fit in a few chunks from malloc's heap. A large document
    // goes on in regions mapped apart, in huge pages where the system
    // offers them: a 1 MiB list needs some 30 MiB of nodes, and faulting
    // that in page by page cost more than building it.
    static constexpr size_t chunkSize = 64 * 1024 - 64;
    static constexpr size_t chunksBeforeRegions = 16;
    static constexpr size_t regionSize = size_t{2} << 20;

    // Larger blocks come from malloc, linked so the pool can free them.
    struct Large {
        Large* previous;
        Large* next;
        size_t size;  // the header every block has
    };

    // A new chunk or region to carve from; false without memory.
    bool grow() {
        char* start;
        size_t size;
        if (chunks_.size() < chunksBeforeRegions) {
            chunks_.push_back(nullptr);
            start = static_cast<char*>(std::malloc(chunkSize));
            chunks_.back() = start;
            size = chunkSize;
        } else {
            regions_.push_back(nullptr);
            start = static_cast<char*>(mapRegion(regionSize));
            regions_.back() = start;
            size = regionSize;
        }
        if (!start)
            return false;
        next_ = start;
        end_ = start + size;
        return true;
    }

    void* allocate(size_t size) {
        size_t rounded = (std::max<size_t>(size, 1) + granule - 1) / granule * granule;
        if (rounded > largestSmall) {
            if (size > SIZE_MAX - sizeof(Large))
                return nullptr;
            auto* large = static_cast<Large*>(std::malloc(sizeof(Large) + size));
            if (!large)
                return nullptr;
            *large = {nullptr, large_, size};
            if (large_)
                large_->previous = large;
            large_ = large;
            return large + 1;
        }
        void*& freed = free_[rounded / granule];
        if (freed) {
            void* block = freed;
            std::memcpy(&freed, block, sizeof(void*));
            return block;
        }
        if (static_cast<size_t>(end_ - next_) < header + rounded && !grow())
            return nullptr;
        std::memcpy(next_, &rounded, header);
        void* block = next_ + header;
        next_ += header + rounded;
        return block;
    }

    void deallocate(void* block) {
        if (!block)
            return;
        size_t size;
        std::memcpy(&size, static_cast<char*>(block) - header, header);
        if (size > largestSmall) {
            Large* large = static_cast<Large*>(block) - 1;
            (large->previous ? large->previous->next : large_) = large->next;
            if (large->next)
                large->next->previous = large->previous;
            std::free(large);
            return;
        }
        void*& freed = free_[size / granule];
        std::memcpy(block, &freed, sizeof(void*));
        freed = block;
    }

    std::vector<void*> chunks_;
    std::vector<void*> regions_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    void* free_[largestSmall / granule + 1] = {};
    Large* large_ = nullptr;
};

}  // namespace

struct HTMLDocument::Storage {
    std::string source;
    GumboPool pool;
    // Never destroyed through Gumbo: the pool holds all of it.
    GumboOutput* output = nullptr;

    // Gumbo records every parse error by default, and hostile input (NUL
    // bytes, binary data) makes millions of them that nothing reads: a 30 MiB
    // copy took gigabytes. Parse without recording any.
    GumboOptions options() {
        GumboOptions o = kGumboDefaultOptions;
        o.max_errors = 0;
        o.allocator = &GumboPool::allocate;
        o.deallocator = &GumboPool::deallocate;
        o.userdata = &pool;
        return o;
    }
};

size_t HTMLDocument::estimatedNestingDepth(std::string_view html, size_t limit) {
    return NestingEstimator(html, limit).run();
}

std::optional<HTMLDocument> HTMLDocument::parse(std::string_view html) {
    if (!unicode::isValidUTF8(html))
        return std::nullopt;
    if (estimatedNestingDepth(html) > maximumNestingDepth)
        return std::nullopt;

    HTMLDocument document;
    document.storage_ = std::make_unique<Storage>();
    Storage& storage = *document.storage_;
    storage.source.assign(html);
    GumboOptions options = storage.options();
    storage.output = gumbo_parse_with_options(&options, storage.source.data(), storage.source.size());
    if (!storage.output || !storage.output->document || !storage.output->root)
        return std::nullopt;

    // Unknown elements carry only their source text; narrow it to the name
    // and lower-case it in our copy of the source, so HTMLNode::name() can
    // hand out views.
    HTMLNode root(storage.output->document);
    for (HTMLNode n = root.firstChild(); n; n = n.nextInDocumentOrder(root)) {
        if (!n.isElement())
            continue;
        auto* element = const_cast<GumboElement*>(&n.raw()->v.element);
        if (element->tag != GUMBO_TAG_UNKNOWN)
            continue;
        GumboStringPiece piece = element->original_tag;
        const char* begin = storage.source.data();
        if (piece.length > 1 && piece.data >= begin &&
            piece.data + piece.length <= begin + storage.source.size() && piece.data[0] == '<') {
            char* name = storage.source.data() + (piece.data - begin) + 1;
            size_t length = 0;
            while (length + 1 < piece.length && !isTagSpace(name[length]) && name[length] != '/' &&
                   name[length] != '>')
                ++length;
            for (size_t i = 0; i < length; ++i) name[i] = asciiLower(name[i]);
            piece = {name, length};
        } else {
            piece = {"", 0};
        }
        element->original_tag = piece;
    }
    return document;
}

HTMLDocument::HTMLDocument(HTMLDocument&&) noexcept = default;
HTMLDocument& HTMLDocument::operator=(HTMLDocument&&) noexcept = default;
HTMLDocument::~HTMLDocument() = default;

HTMLNode HTMLDocument::document() const {
    return HTMLNode(storage_->output->document);
}

HTMLNode HTMLDocument::rootElement() const {
    return HTMLNode(storage_->output->root);
}

HTMLNode HTMLDocument::body() const {
    HTMLNode root = rootElement();
    for (HTMLNode n = root.firstChild(); n; n = n.nextInDocumentOrder(root))
        if (n.is("body"))
            return n;
    return {};
}

}  // namespace dz
