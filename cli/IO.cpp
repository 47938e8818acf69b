#include "cli/IO.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include <nlohmann/json.hpp>

#include "app/support/WholeFile.h"

namespace dz::cli {

namespace {

std::string cannotRead(const std::string& name, const std::string& reason) {
    return "cannot read " + name + ": " + reason;
}

std::string tooLarge(const std::string& name) {
    return cannotRead(name, "larger than " + std::to_string(maxInputBytes >> 20) + " MiB");
}

// Directories are refused, and anything over the cap, so that /dev/zero or a
// huge file cannot grow the process without end; pipes and terminals are read.
std::string bytesOf(WholeFile whole, const std::string& name) {
    switch (whole.status) {
        case WholeFile::Status::read:
            return std::move(whole.bytes);
        case WholeFile::Status::wrongKind:
            throw CommandError(cannotRead(name, std::strerror(EISDIR)));
        case WholeFile::Status::tooLarge:
            throw CommandError(tooLarge(name));
        case WholeFile::Status::cannotOpen:
        case WholeFile::Status::cannotRead:
            break;
    }
    throw CommandError(cannotRead(name, std::strerror(whole.error)));
}

}  // namespace

std::string readStandardInput() {
    return bytesOf(
        WholeFile::readDescriptor(STDIN_FILENO, maxInputBytes, WholeFile::Accept::anythingButDirectories),
        "standard input");
}

std::string readFile(const std::string& path) {
    if (path == "-")
        return readStandardInput();
    return bytesOf(WholeFile::read(path, maxInputBytes, WholeFile::Accept::anythingButDirectories), path);
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
