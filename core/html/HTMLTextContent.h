#pragma once
// The text of HTML the parser refuses (nesting or attribute counts beyond its
// guards), so that such a copy still gives clean text. One linear pass with
// no tree: tags dropped, `script` and `style` contents and comments dropped,
// block-level tags ending lines, runs of white space collapsed, numeric
// character references and the common named ones (amp, lt, gt, quot, apos,
// nbsp) decoded.

#include <string>
#include <string_view>

namespace dz::htmltext {

// `html` must be valid UTF-8; so is the result.
std::string textContent(std::string_view html);

}  // namespace dz::htmltext
