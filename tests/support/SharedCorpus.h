#pragma once
// The shared corpora sit in ../shared beside the checkout (or DZ_SHARED_DIR);
// tests that read them skip with a message when the folder is missing.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace dz::test {

inline std::string sharedCorpus(const std::string& relative) {
    return std::string(DZ_SHARED_DIR) + "/corpus/" + relative;
}

inline bool sharedCorpusPresent() {
    return std::filesystem::is_directory(std::string(DZ_SHARED_DIR) + "/corpus");
}

}  // namespace dz::test

#define DZ_REQUIRE_SHARED_CORPUS()                                                                      \
    do {                                                                                                \
        if (!::dz::test::sharedCorpusPresent())                                                         \
            GTEST_SKIP() << "shared corpus missing: " << DZ_SHARED_DIR                                  \
                         << "/corpus (put the shared folder beside the checkout or set DZ_SHARED_DIR)"; \
    } while (0)
