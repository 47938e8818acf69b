#pragma once
// Each subcommand registers itself on the application and stores its exit code
// in `exitCode` when it runs.

#include <CLI/CLI.hpp>

namespace dz::cli {

void addCleanCommand(CLI::App& app, int& exitCode);
void addInspectCommand(CLI::App& app, int& exitCode);
void addUrlCommand(CLI::App& app, int& exitCode);
void addSettingsCommand(CLI::App& app, int& exitCode);
void addReflowCommand(CLI::App& app, int& exitCode);
void addTryCommand(CLI::App& app, int& exitCode);

}  // namespace dz::cli
