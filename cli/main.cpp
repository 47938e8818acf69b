// dozuzavuvu-cli: the cleaning engine from the shell.
#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "cli/Commands.h"
#include "cli/IO.h"

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
        std::string message = e.what();
        for (char& ch : message)
            if (ch == '\n')
                ch = ' ';
        std::cerr << "error: " << message << "\n";
        return 2;
    } catch (const dz::cli::CommandError& e) {
        std::cerr << "error: " << e.what() << "\n";
        return 2;
    }
    if (app.get_subcommands().empty()) {
        std::cout << app.help();
        return 0;
    }
    return exitCode;
}
