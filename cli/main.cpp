// dozuzavuvu-cli: the cleaning engine from the shell.
#include <cstdio>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/IO.h"

namespace {

std::string oneLine(std::string message) {
    for (char& ch : message)
        if (ch == '\n' || ch == '\r')
            ch = ' ';
    return message;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Dozuzavuvu: cleans copied text into plain text, plain text with links or Markdown."};
    app.name("dozuzavuvu-cli");
    app.require_subcommand(0, 1);

    int exitCode = 0;
    dz::cli::addInspectCommand(app, exitCode);
    dz::cli::addCleanCommand(app, exitCode);
    dz::cli::addUrlCommand(app, exitCode);
    dz::cli::addSettingsCommand(app, exitCode);
    dz::cli::addReflowCommand(app, exitCode);
    dz::cli::addTryCommand(app, exitCode);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "error: " << oneLine(e.what()) << "\n";
        return 2;
    } catch (const std::exception& e) {
        // Command errors and anything else that escaped a command: one line, exit 2.
        std::cerr << "error: " << oneLine(e.what()) << "\n";
        return 2;
    }
    if (app.get_subcommands().empty()) {
        std::cout << app.help();
        return 0;
    }
    return exitCode;
}
