#include "cli/IO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <nlohmann/json.hpp>

namespace dz::cli {

namespace {

std::string cannotRead(const std::string& name, const std::string& reason) {
    return "cannot read " + name + ": " + reason;
}

std::string tooLarge(const std::string& name) {
    return cannotRead(name, "larger than " + std::to_string(maxInputBytes >> 20) + " MiB");
}

// Reads `fd` to its end, refusing directories and anything over the cap, so
// that /dev/zero or a huge file cannot grow the process without end.
std::string readAll(int fd, const std::string& name) {
    struct stat info {};
    if (::fstat(fd, &info) == 0) {
        if (S_ISDIR(info.st_mode))
            throw CommandError(cannotRead(name, std::strerror(EISDIR)));
        if (S_ISREG(info.st_mode) && static_cast<uintmax_t>(info.st_size) > maxInputBytes)
            throw CommandError(tooLarge(name));
    }
    std::string bytes;
    if (S_ISREG(info.st_mode) && info.st_size > 0)
        bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw CommandError(cannotRead(name, std::strerror(errno)));
        }
        if (n == 0)
            return bytes;
        if (bytes.size() + static_cast<size_t>(n) > maxInputBytes)
            throw CommandError(tooLarge(name));
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace

std::string readStandardInput() {
    return readAll(STDIN_FILENO, "standard input");
}

std::string readFile(const std::string& path) {
    if (path == "-")
        return readStandardInput();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw CommandError(cannotRead(path, std::strerror(errno)));
    try {
        std::string bytes = readAll(fd, path);
        ::close(fd);
        return bytes;
    } catch (...) {
        ::close(fd);
        throw;
    }
}

void writeStandardOutput(std::string_view bytes) {
    std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout.flush();
}

std::string jsonString(std::string_view text) {
    return nlohmann::json(std::string(text)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

ClipboardSnapshot readCopy(const std::optional<std::string>& textFile,
                           const std::optional<std::string>& htmlFile,
                           const std::optional<std::string>& rtfFile, std::optional<std::string> url) {
    std::optional<std::string> plain, html, rtf;
    if (!textFile && !htmlFile && !rtfFile)
        plain = readStandardInput();
    if (textFile)
        plain = readFile(*textFile);
    if (htmlFile)
        html = readFile(*htmlFile);
    if (rtfFile)
        rtf = readFile(*rtfFile);
    return ClipboardSnapshot(plain, html, rtf, std::move(url));
}

}  // namespace dz::cli
