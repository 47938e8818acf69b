#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include <gtest/gtest.h>

#include "core/pdf/PDFReflower.h"
#include "linux/HunspellDictionary.h"

using namespace dz;
namespace fs = std::filesystem;

namespace {

// A scratch directory removed at the end of the test.
struct TempDir {
    fs::path path;
    TempDir() {
        char pattern[] = "/tmp/dz-hunspell-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code error;
        fs::remove_all(path, error);
    }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path / name, std::ios::binary) << bytes;
    }
};

auto environment(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    };
}

std::shared_ptr<const HunspellDictionary> englishOrSkip() {
    return HunspellDictionary::open("en_US");
}

}  // namespace

TEST(HunspellDictionaryTest, InstalledLanguagesNeedBothFiles) {
    TempDir dir;
    dir.write("en_US.aff", "SET UTF-8\n");
    dir.write("en_US.dic", "1\nword\n");
    dir.write("de_DE.aff", "SET UTF-8\n");
    dir.write("fr_FR.dic", "1\nmot\n");
    EXPECT_EQ(HunspellDictionary::installedLanguages(dir.path), std::vector<std::string>{"en_US"});
    EXPECT_TRUE(HunspellDictionary::installedLanguages("/nonexistent/dz").empty());
    EXPECT_EQ(HunspellDictionary::open("de_DE", dir.path), nullptr);
    EXPECT_EQ(HunspellDictionary::open("../en_US", dir.path), nullptr);
    TempDir empty;
    EXPECT_EQ(HunspellDictionary::forUserLanguage(empty.path), nullptr);
}

TEST(HunspellDictionaryTest, ChoosesTheUsersLanguage) {
    const std::vector<std::string> installed{"de_AT", "en_GB", "en_US"};
    auto choose = [&](std::map<std::string, std::string> env) {
        return HunspellDictionary::chooseLanguage(installed, environment(std::move(env)));
    };
    EXPECT_EQ(choose({{"LANG", "en_GB.UTF-8"}}), "en_GB");
    EXPECT_EQ(choose({{"LC_ALL", "de_DE.UTF-8@euro"}, {"LANG", "en_GB.UTF-8"}}), "de_AT");  // same language
    EXPECT_EQ(choose({{"LC_ALL", ""}, {"LC_MESSAGES", "en_GB"}, {"LANG", "de_AT"}}), "en_GB");
    EXPECT_EQ(choose({{"LANG", "fr_FR.UTF-8"}}), "en_US");
    EXPECT_EQ(choose({{"LANG", "C.UTF-8"}}), "en_US");
    EXPECT_EQ(choose({}), "en_US");
    EXPECT_EQ(HunspellDictionary::chooseLanguage({"de_DE", "nl_NL"}, environment({{"LANG", "fr_FR"}})),
              "de_DE");
    EXPECT_EQ(HunspellDictionary::chooseLanguage({}, environment({{"LANG", "en_US"}})), std::nullopt);
}

TEST(HunspellDictionaryTest, LegacyEncodedDictionary) {
    TempDir dir;
    dir.write("xx_XX.aff", "SET ISO8859-1\n");
    dir.write("xx_XX.dic", "2\ncaf\xE9\nna\xEFve\n");
    auto dict = HunspellDictionary::open("xx_XX", dir.path);
    ASSERT_NE(dict, nullptr);
    EXPECT_TRUE(dict->isWord("caf\u00e9"));
    EXPECT_TRUE(dict->isWord(" caf\u00e9  na\u00efve\n"));
    EXPECT_FALSE(dict->isWord("cafe"));
    EXPECT_FALSE(dict->isWord("\u65e5\u672c"));  // not writable in Latin-1
    EXPECT_FALSE(dict->isWord("caf\xff"));       // not UTF-8
}

TEST(HunspellDictionaryTest, EnglishWordsAndReflow) {
    auto english = englishOrSkip();
    if (!english)
        GTEST_SKIP() << "en_US dictionary not installed";
    EXPECT_TRUE(english->isWord("example"));
    EXPECT_TRUE(english->isWord("well known"));
    EXPECT_FALSE(english->isWord("ple"));
    EXPECT_FALSE(english->isWord("wellknown"));
    EXPECT_FALSE(english->isWord("example qzxv"));

    PDFReflower reflower(PDFOptions::defaultValue(), HunspellDictionary::predicate(english));
    EXPECT_EQ(reflower.reflow("This is an exam-\nple of a hyphen-\nated text."),
              "This is an example of a hyphenated text.");
    EXPECT_EQ(reflower.reflow("It is a well-\nknown and long-\nterm fact."),
              "It is a well-known and long-term fact.");
}

TEST(HunspellDictionaryTest, LookupsFromManyThreads) {
    auto english = englishOrSkip();
    if (!english)
        GTEST_SKIP() << "en_US dictionary not installed";
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i)
                if (!english->isWord("example") || english->isWord("exampel"))
                    ++wrong;
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, 0);
}

TEST(HunspellDictionaryTest, LazyPredicateReadsTheDictionaryAtTheFirstWordOnly) {
    TempDir dir;
    EXPECT_FALSE(HunspellDictionary::lazyPredicate("xx_XX", dir.path));  // no files: no test
    dir.write("xx_XX.aff", "SET UTF-8\n");
    dir.write("xx_XX.dic", "1\nhello\n");
    auto isWord = HunspellDictionary::lazyPredicate("xx_XX", dir.path);
    ASSERT_TRUE(isWord);
    // Changed after the predicate was made but before its first word: the
    // files are read only now, and only once.
    dir.write("xx_XX.dic", "1\nworld\n");
    EXPECT_TRUE(isWord("world"));
    EXPECT_FALSE(isWord("hello"));
    dir.write("xx_XX.dic", "1\nagain\n");
    EXPECT_FALSE(isWord("again"));
    EXPECT_TRUE(isWord("world"));
}
