#pragma once

#include <string>

#include "core/pdf/PDFReflower.h"

namespace dz::cli {

// The word test for PDF repair: "none" gives no test, an empty choice the
// user's language, otherwise that language's dictionary. A language with no
// installed dictionary is a CommandError naming the installed ones.
PDFReflower::WordPredicate wordPredicate(const std::string& choice);

}  // namespace dz::cli
