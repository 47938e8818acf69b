#pragma once
// Reads a settings document from tests/fixtures/settings.

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace dz::test {

inline std::string settingsFixture(const std::string& name) {
    std::string path = std::string(DZ_FIXTURES_DIR) + "/settings/" + name;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing fixture " + path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace dz::test
