#pragma once
// Keeps our last copy pasteable after we quit. Wayland has no hand-over to a
// clipboard manager, and a selection goes away with the client that made it,
// so a small detached process of our own executable takes the content over
// and serves it until another copy replaces it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "linux/clipboard/MimeTypes.h"

namespace dz::wayland {

class ClipboardKeeper {
  public:
    // The program's first argument that makes it the keeper.
    static constexpr std::string_view argument = "--keep-clipboard";

    // Starts the keeper (`program`, by default our own executable) with this
    // content and waits (at most `waitMs`) until it holds the selection.
    // False, with the reason, when it could not.
    static bool start(const std::vector<x11::MimeItem>& content, std::string* error = nullptr,
                      int waitMs = 1000, const std::string& program = "/proc/self/exe");

    // The keeper itself, from the program's main with the arguments after
    // `argument`: serves the content until it is replaced. An exit status.
    static int run(const std::vector<std::string>& arguments);

    // The content as handed to the keeper, and back.
    static std::string encode(const std::vector<x11::MimeItem>& content);
    static std::optional<std::vector<x11::MimeItem>> decode(std::string_view bytes);
};

}  // namespace dz::wayland
