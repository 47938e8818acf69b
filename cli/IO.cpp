#include "cli/IO.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include <nlohmann/json.hpp>

namespace dz::cli {

std::string readStandardInput() {
    std::ostringstream buffer;
    buffer << std::cin.rdbuf();
    return buffer.str();
}

std::string readFile(const std::string& path) {
    if (path == "-")
        return readStandardInput();
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw CommandError("cannot read " + path + ": " + std::strerror(errno));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw CommandError("cannot read " + path);
    return bytes;
}

void writeStandardOutput(std::string_view bytes) {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
}

std::string jsonString(std::string_view text) {
    return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace dz::cli
