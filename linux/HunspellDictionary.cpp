#include "linux/HunspellDictionary.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include <unicode/ucnv.h>
#include <hunspell/hunspell.hxx>

#include "core/text/Unicode.h"

namespace dz {

namespace {

// "de_DE.UTF-8@euro" -> "de_DE"; nothing for the C and POSIX locales.
std::optional<std::string> localeLanguage(std::string_view value) {
    size_t end = value.find_first_of(".@");
    std::string_view name = value.substr(0, end);
    if (name.empty() || name == "C" || name == "POSIX")
        return std::nullopt;
    return std::string(name);
}

std::string_view languagePart(std::string_view name) {
    return name.substr(0, name.find_first_of("_-"));
}

bool isUTF8Name(std::string_view encoding) {
    std::string lower = unicode::lowercased(encoding);
    return lower.empty() || lower == "utf-8" || lower == "utf8";
}

// Converts UTF-8 to the dictionary's encoding; nothing when a character has
// no equivalent there.
std::optional<std::string> toEncoding(std::string_view utf8, const std::string& encoding) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(encoding.c_str(), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    icu::UnicodeString u = unicode::toICU(utf8);
    std::string out(static_cast<size_t>(u.length()) * 4 + 4, '\0');
    int32_t length = ucnv_fromUChars(converter, out.data(), static_cast<int32_t>(out.size()), u.getBuffer(),
                                     u.length(), &status);
    ucnv_close(converter);
    if (U_FAILURE(status))
        return std::nullopt;
    out.resize(static_cast<size_t>(length));
    return out;
}

}  // namespace

HunspellDictionary::HunspellDictionary(std::string language, std::unique_ptr<Hunspell> hunspell)
    : language_(std::move(language)), hunspell_(std::move(hunspell)) {
    std::string encoding = hunspell_->get_dict_encoding();
    if (!isUTF8Name(encoding))
        encoding_ = encoding;
}

HunspellDictionary::~HunspellDictionary() = default;

std::vector<std::string> HunspellDictionary::installedLanguages(const std::string& directory) {
    std::set<std::string> affixes, dictionaries;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        const auto& path = entry.path();
        if (path.extension() == ".aff")
            affixes.insert(path.stem().string());
        else if (path.extension() == ".dic")
            dictionaries.insert(path.stem().string());
    }
    std::vector<std::string> both;
    std::set_intersection(affixes.begin(), affixes.end(), dictionaries.begin(), dictionaries.end(),
                          std::back_inserter(both));
    return both;
}

std::optional<std::string> HunspellDictionary::chooseLanguage(
    const std::vector<std::string>& installed, const std::function<const char*(const char*)>& getenv) {
    if (installed.empty())
        return std::nullopt;
    std::optional<std::string> wanted;
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = getenv(variable);
        if (value && *value) {
            wanted = localeLanguage(value);
            break;
        }
    }
    if (wanted) {
        if (std::find(installed.begin(), installed.end(), *wanted) != installed.end())
            return wanted;
        for (const auto& name : installed)
            if (languagePart(name) == languagePart(*wanted))
                return name;
    }
    if (std::find(installed.begin(), installed.end(), fallbackLanguage) != installed.end())
        return std::string(fallbackLanguage);
    return installed.front();
}

std::unique_ptr<HunspellDictionary> HunspellDictionary::open(const std::string& language,
                                                             const std::string& directory) {
    namespace fs = std::filesystem;
    fs::path aff = fs::path(directory) / (language + ".aff"), dic = fs::path(directory) / (language + ".dic");
    std::error_code error;
    if (language.empty() || language.find('/') != std::string::npos || !fs::is_regular_file(aff, error) ||
        !fs::is_regular_file(dic, error))
        return nullptr;
    auto hunspell = std::make_unique<Hunspell>(aff.c_str(), dic.c_str());
    return std::unique_ptr<HunspellDictionary>(new HunspellDictionary(language, std::move(hunspell)));
}

std::unique_ptr<HunspellDictionary> HunspellDictionary::forUserLanguage(const std::string& directory) {
    auto language =
        chooseLanguage(installedLanguages(directory), [](const char* name) { return std::getenv(name); });
    if (!language)
        return nullptr;
    return open(*language, directory);
}

bool HunspellDictionary::isWord(std::string_view text) const {
    if (!unicode::isValidUTF8(text))
        return false;
    std::lock_guard lock(mutex_);
    size_t i = 0;
    while (i < text.size()) {
        // Skip white space, then check the word up to the next.
        size_t start = i, next = i;
        while (start < text.size()) {
            next = start;
            if (!unicode::isWhiteSpaceOrNewline(unicode::nextCodePoint(text, next)))
                break;
            start = next;
        }
        if (start >= text.size())
            break;
        size_t end = start;
        while (end < text.size()) {
            next = end;
            if (unicode::isWhiteSpaceOrNewline(unicode::nextCodePoint(text, next)))
                break;
            end = next;
        }
        std::string word(text.substr(start, end - start));
        if (!encoding_.empty()) {
            auto converted = toEncoding(word, encoding_);
            if (!converted)
                return false;
            word = std::move(*converted);
        }
        if (!hunspell_->spell(word))
            return false;
        i = end;
    }
    return true;
}

namespace {

bool hasDictionaryFiles(const std::string& language, const std::string& directory) {
    namespace fs = std::filesystem;
    std::error_code error;
    return !language.empty() && language.find('/') == std::string::npos &&
           fs::is_regular_file(fs::path(directory) / (language + ".aff"), error) &&
           fs::is_regular_file(fs::path(directory) / (language + ".dic"), error);
}

}  // namespace

std::function<bool(std::string_view)> HunspellDictionary::lazyPredicate(const std::string& language,
                                                                        const std::string& directory) {
    if (!hasDictionaryFiles(language, directory))
        return {};
    struct Lazy {
        std::string language, directory;
        std::once_flag once;
        std::unique_ptr<HunspellDictionary> dictionary;  // null when it vanished meanwhile
    };
    auto lazy = std::make_shared<Lazy>();
    lazy->language = language;
    lazy->directory = directory;
    return [lazy](std::string_view text) {
        std::call_once(lazy->once, [&] { lazy->dictionary = open(lazy->language, lazy->directory); });
        return lazy->dictionary && lazy->dictionary->isWord(text);
    };
}

std::function<bool(std::string_view)> HunspellDictionary::lazyPredicateForUserLanguage(
    const std::string& directory) {
    auto language =
        chooseLanguage(installedLanguages(directory), [](const char* name) { return std::getenv(name); });
    if (!language)
        return {};
    return lazyPredicate(*language, directory);
}

std::function<bool(std::string_view)> HunspellDictionary::predicate(
    std::shared_ptr<const HunspellDictionary> dictionary) {
    if (!dictionary)
        return {};
    return [dictionary = std::move(dictionary)](std::string_view s) { return dictionary->isWord(s); };
}

}  // namespace dz
