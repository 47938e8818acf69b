#include "cli/Dictionary.h"

#include <memory>

#include "cli/IO.h"
#include "linux/HunspellDictionary.h"

namespace dz::cli {

PDFReflower::WordPredicate wordPredicate(const std::string& choice) {
    if (choice == "none")
        return {};
    if (choice.empty())
        return HunspellDictionary::predicate(HunspellDictionary::forUserLanguage());
    std::shared_ptr<const HunspellDictionary> dictionary = HunspellDictionary::open(choice);
    if (!dictionary) {
        std::string names;
        for (const auto& name : HunspellDictionary::installedLanguages())
            names += (names.empty() ? "" : ", ") + name;
        throw CommandError("no dictionary for \"" + choice +
                           "\" (installed: " + (names.empty() ? "none" : names) + ")");
    }
    return HunspellDictionary::predicate(dictionary);
}

}  // namespace dz::cli
