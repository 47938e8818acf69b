#pragma once
// Reading and writing for the command line. Failures throw `CommandError`,
// which main turns into a one-line message and exit status 2.

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/clipboard/ClipboardSnapshot.h"

namespace dz::cli {

struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Inputs larger than this are refused: nothing the clipboard holds comes near.
constexpr size_t maxInputBytes = size_t{256} << 20;

// Reads a whole file; "-" is standard input. A directory, a missing or
// unreadable file, a read error or more than `maxInputBytes` is a
// CommandError naming the file and the reason.
std::string readFile(const std::string& path);
std::string readStandardInput();
// The copy given as files of its plain-text, HTML and RTF representations;
// with none given, standard input is the plain text.
ClipboardSnapshot readCopy(const std::optional<std::string>& textFile,
                           const std::optional<std::string>& htmlFile,
                           const std::optional<std::string>& rtfFile, std::optional<std::string> url);
// Writes bytes exactly, with no newline added.
void writeStandardOutput(std::string_view bytes);
// A JSON string literal for `text` (which must be valid UTF-8).
std::string jsonString(std::string_view text);

}  // namespace dz::cli
