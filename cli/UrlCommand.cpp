// `url`: cleans addresses given as arguments, or every address in the text on
// standard input.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/IO.h"
#include "core/links/URLCleaner.h"
#include "core/text/Unicode.h"

namespace dz::cli {

namespace {

struct UrlArgs {
    bool keepTracking = false;
    bool keepRedirects = false;
    std::vector<std::string> addresses;
};

int runUrl(const UrlArgs& args) {
    bool removeTracking = !args.keepTracking, unwrapRedirects = !args.keepRedirects;
    if (!args.addresses.empty()) {
        for (const auto& address : args.addresses)
            if (!unicode::isValidUTF8(address))
                throw CommandError("address is not valid UTF-8");
        std::string out;
        for (const auto& address : args.addresses) {
            out += URLCleaner::clean(address, removeTracking, unwrapRedirects, 0);
            out.push_back('\n');
        }
        writeStandardOutput(out);
        return 0;
    }
    std::string text = readStandardInput();
    if (!unicode::isValidUTF8(text))
        throw CommandError("standard input is not valid UTF-8");
    writeStandardOutput(URLCleaner::cleanURLs(text, removeTracking, unwrapRedirects));
    return 0;
}

}  // namespace

void addUrlCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<UrlArgs>();
    auto* cmd = app.add_subcommand(
        "url", "Clean the given addresses, or every address in the text on standard input");
    cmd->add_flag("--keep-tracking", args->keepTracking, "Leave tracking parameters in place");
    cmd->add_flag("--keep-redirects", args->keepRedirects, "Leave redirect wrappers in place");
    cmd->add_option("addresses", args->addresses, "Addresses to clean, each printed on its own line");
    cmd->callback([args, &exitCode] { exitCode = runUrl(*args); });
}

}  // namespace dz::cli
