#pragma once
// The spelling dictionary of the user's language, for the PDF reflower's
// word test. Hunspell objects are not thread-safe, so every look-up holds a
// lock.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class Hunspell;

namespace dz {

class HunspellDictionary {
  public:
    static constexpr std::string_view defaultDirectory = "/usr/share/hunspell";
    static constexpr std::string_view fallbackLanguage = "en_US";

    // Languages ("en_US", "de_DE", ...) with both an .aff and a .dic file in
    // `directory`, sorted.
    static std::vector<std::string> installedLanguages(
        const std::string& directory = std::string(defaultDirectory));

    // The user's language from LC_ALL, LC_MESSAGES or LANG (the first that is
    // set and not empty) matched against `installed`: the exact language and
    // territory, else the same language in another territory, else en_US,
    // else the first installed one. Nothing when none is installed.
    static std::optional<std::string> chooseLanguage(const std::vector<std::string>& installed,
                                                     const std::function<const char*(const char*)>& getenv);

    // Opens one language's dictionary; nothing when its files are missing.
    static std::unique_ptr<HunspellDictionary> open(
        const std::string& language, const std::string& directory = std::string(defaultDirectory));
    // The user's dictionary; nothing when no dictionary is installed.
    static std::unique_ptr<HunspellDictionary> forUserLanguage(
        const std::string& directory = std::string(defaultDirectory));

    ~HunspellDictionary();
    HunspellDictionary(const HunspellDictionary&) = delete;
    HunspellDictionary& operator=(const HunspellDictionary&) = delete;

    const std::string& language() const { return language_; }

    // True when `text` holds no misspelled word (words are separated by white
    // space). Text that cannot be written in the dictionary's encoding is no
    // word.
    bool isWord(std::string_view text) const;

    // A word test that opens the dictionary the first time a word has to be
    // checked, once (loading takes tens of milliseconds, and most copies
    // never ask). Nothing when the language's files are missing. Calling it
    // once from another thread loads it ahead of time.
    static std::function<bool(std::string_view)> lazyPredicate(
        const std::string& language, const std::string& directory = std::string(defaultDirectory));
    // The same for the user's language; nothing when no dictionary is installed.
    static std::function<bool(std::string_view)> lazyPredicateForUserLanguage(
        const std::string& directory = std::string(defaultDirectory));

    // A predicate for the reflower that keeps this dictionary alive.
    static std::function<bool(std::string_view)> predicate(
        std::shared_ptr<const HunspellDictionary> dictionary);

  private:
    HunspellDictionary(std::string language, std::unique_ptr<Hunspell> hunspell);

    std::string language_;
    std::unique_ptr<Hunspell> hunspell_;
    std::string encoding_;  // the dictionary's; empty for UTF-8
    mutable std::mutex mutex_;
};

}  // namespace dz
