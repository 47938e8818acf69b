// `reflow`: repairs the line breaks of text copied from a PDF, read from
// standard input.
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "cli/Dictionary.h"
#include "cli/IO.h"
#include "core/pdf/PDFReflower.h"
#include "core/text/Unicode.h"

namespace dz::cli {

namespace {

struct ReflowArgs {
    bool noLigatures = false;
    bool noDehyphenate = false;
    bool noPageNumbers = false;
    std::string dictionary;  // empty: the user's language
};

int runReflow(const ReflowArgs& args) {
    PDFOptions options;
    options.fixLigatures = !args.noLigatures;
    options.dehyphenate = !args.noDehyphenate;
    options.removePageNumbers = !args.noPageNumbers;
    PDFReflower reflower(options, wordPredicate(args.dictionary));
    std::string text = readStandardInput();
    if (!unicode::isValidUTF8(text))
        throw CommandError("standard input is not valid UTF-8");
    writeStandardOutput(reflower.reflow(text));
    return 0;
}

}  // namespace

void addReflowCommand(CLI::App& app, int& exitCode) {
    auto args = std::make_shared<ReflowArgs>();
    auto* cmd =
        app.add_subcommand("reflow", "Rejoin text copied from a PDF (standard input) into paragraphs");
    cmd->add_flag("--no-ligatures", args->noLigatures, "Leave ligatures and symbol-font bullets as they are");
    cmd->add_flag("--no-dehyphenate", args->noDehyphenate, "Leave hyphens at line ends as they are");
    cmd->add_flag("--no-page-numbers", args->noPageNumbers, "Keep lines that are only a page number");
    cmd->add_option("--dictionary", args->dictionary,
                    "Spelling dictionary for hyphenated words: a language such as en_US (default: the "
                    "user's), or none to join them unchecked; opened at the first hyphen to check (about "
                    "0.1 s)");
    cmd->callback([args, &exitCode] { exitCode = runReflow(*args); });
}

}  // namespace dz::cli
