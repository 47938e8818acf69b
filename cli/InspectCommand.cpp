// `inspect`: shows what a capture makes of given clipboard items, answering
// "why was this copy not cleaned?".
#include <iostream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/Commands.h"
#include "cli/IO.h"
#include "core/clipboard/ClipboardSnapshot.h"
#include "core/clipboard/MemoryPasteboard.h"

namespace dz::cli {

namespace {

struct InspectArgs {
    bool ignoreMarker = false;
    std::vector<std::string> items;
};

int runInspect(const InspectArgs& args) {
    std::vector<std::pair<std::string, std::string>> items;
    for (const auto& item : args.items) {
        auto eq = item.find('=');
        if (eq == std::string::npos || eq == 0)
            throw CommandError("expected TYPE=FILE, got \"" + item + "\"");
        std::string type = item.substr(0, eq);
        std::string path = item.substr(eq + 1);
        items.emplace_back(type, path.empty() ? std::string() : readFile(path));
    }
    MemoryPasteboard pasteboard(std::move(items));
    auto capture = ClipboardSnapshot::capture(pasteboard, args.ignoreMarker);
    if (auto reason = capture.skipReason()) {
        std::cout << "skip: " << skipreason::rawValue(*reason) << "\n";
        return 1;
    }
    const ClipboardSnapshot& snapshot = *capture.snapshot();
    std::cout << "snapshot\n";
    for (const auto& entry : snapshot.entries())
        std::cout << "  " << entry.type << "  " << entry.data.size() << "\n";
    if (auto plain = snapshot.plainText())
        std::cout << "plain: " << jsonString(*plain) << "\n";
    if (auto html = snapshot.html())
        std::cout << "html: " << jsonString(*html) << "\n";
    if (auto url = snapshot.url())
        std::cout << "url: " << jsonString(*url) << "\n";
    if (auto page = snapshot.sourcePageURL())
        std::cout << "source-page: " << jsonString(*page) << "\n";
    return 0;
}

}  // namespace

void addInspectCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<InspectArgs>();
    auto* cmd = app.add_subcommand(
        "inspect", "Capture the given clipboard items and show the snapshot or why it is skipped");
    cmd->add_flag("--ignore-marker", args->ignoreMarker,
                  "Capture even when the program's own marker is present");
    cmd->add_option("items", args->items,
                    "TYPE=FILE items in clipboard order (FILE '-' is standard input, empty for no data)")
        ->required();
    cmd->callback([args, &exitCode] { exitCode = runInspect(*args); });
}

}  // namespace dz::cli
