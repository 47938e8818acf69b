#include "cli/Dictionary.h"

#include <memory>

#include "cli/IO.h"
#include "linux/HunspellDictionary.h"

namespace dz::cli {

PDFReflower::WordPredicate wordPredicate(const std::string& choice) {
    if (choice == "none")
        return {};
    // Opened only when a line end actually needs the test.
    if (choice.empty())
        return HunspellDictionary::lazyPredicateForUserLanguage();
    PDFReflower::WordPredicate predicate = HunspellDictionary::lazyPredicate(choice);
    if (!predicate) {
        std::string names;
        for (const auto& name : HunspellDictionary::installedLanguages())
            names += (names.empty() ? "" : ", ") + name;
        throw CommandError("no dictionary for \"" + choice +
                           "\" (installed: " + (names.empty() ? "none" : names) + ")");
    }
    return predicate;
}

}  // namespace dz::cli
