#include "Commands.h"

#include <exception>
#include <iostream>

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    // A subcommand that fails in an unforeseen way (out of memory, a bounds
    // error) reports it and exits with 1 instead of aborting.
    try {
        CLI::App app{"ktrt: check, play, plot and inspect ktrt animations and worlds"};
        app.require_subcommand(1);
        int status = 0;
        ktrt_tool::registerCheckCommand(app, status);
        ktrt_tool::registerPlayCommand(app, status);
        ktrt_tool::registerPlotCommand(app, status);
        ktrt_tool::registerExportCommand(app, status);
        ktrt_tool::registerPreviewCommand(app, status);
        CLI11_PARSE(app, argc, argv);
        return status;
    } catch (const std::exception& error) {
        std::cerr << "ktrt: " << error.what() << '\n';
        return 1;
    }
}
