// One monospace test for font families, whether they come from an HTML style
// or from a rich text font table.
#include <gtest/gtest.h>

#include <string>

#include "core/html/HTMLDocument.h"
#include "core/html/HTMLMarkdownRenderer.h"
#include "core/richtext/RTFReader.h"
#include "core/richtext/TextFont.h"

using namespace dz;

namespace {

bool monospaceInHTMLStyle(const std::string& family) {
    auto document =
        HTMLDocument::parse("<span style=\"color:red; font-family: " + family + ", serif\">x</span>");
    return document && HTMLMarkdownRenderer::isMonospaceStyle(document->body().firstChildElement());
}

bool monospaceInRTF(const std::string& family) {
    auto text = RTFReader::read("{\\rtf1{\\fonttbl{\\f0\\fnil " + family + ";}}\\f0 x}");
    return text && text->attributes(0).font && text->attributes(0).font->monospace;
}

}  // namespace

TEST(TextFontTest, MonospaceFamiliesAreTheSameForHTMLAndRichText) {
    const std::pair<const char*, bool> families[] = {
        // This desktop's families: names ending in "mono" and a few others.
        {"DejaVu Sans Mono", true},
        {"Liberation Mono", true},
        {"Noto Sans Mono", true},
        {"Ubuntu Mono", true},
        {"Roboto Mono", true},
        {"IBM Plex Mono", true},
        {"Cascadia Mono", true},
        {"PT Mono", true},
        {"Space Mono", true},
        {"Droid Sans Mono", true},
        {"Inconsolata", true},
        {"Hack", true},
        {"Cousine", true},
        {"Cascadia Code", true},
        {"Anonymous Pro", true},
        // Other desktops' families.
        {"Courier New", true},
        {"Menlo", true},
        {"Consolas", true},
        {"SF Mono", true},
        {"JetBrains Mono", true},
        {"Source Code Pro", true},
        {"Noto Sans Mono CJK JP", true},
        // Proportional.
        {"Monotype Corsiva", false},
        {"Arial", false},
        {"Hackney", false},
        {"Roboto", false},
        {"Harmony", false},
        {"Times New Roman", false},
    };
    for (const auto& [family, mono] : families) {
        EXPECT_EQ(TextFont::isMonospaceFamilyName(family), mono) << family;
        EXPECT_EQ(monospaceInHTMLStyle(family), mono) << "HTML style: " << family;
        EXPECT_EQ(monospaceInHTMLStyle("'" + std::string(family) + "'"), mono) << "quoted: " << family;
        EXPECT_EQ(monospaceInRTF(family), mono) << "RTF: " << family;
    }
    // Only the first family of an HTML list counts.
    EXPECT_FALSE(monospaceInHTMLStyle("Arial, monospace"));
}
