#include "Commands.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"ktrt: check, play, plot and inspect ktrt animations and worlds"};
    app.require_subcommand(1);
    int status = 0;
    ktrt_tool::registerCheckCommand(app, status);
    ktrt_tool::registerPlayCommand(app, status);
    ktrt_tool::registerPlotCommand(app, status);
    CLI11_PARSE(app, argc, argv);
    return status;
}
