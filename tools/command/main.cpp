#include "command/Commands.h"

#include <cstring>
#include <exception>
#include <iostream>
#include <string>

#include <CLI/CLI.hpp>

namespace {

// Usage errors: `ktrt: MESSAGE` and a pointer to the help, exit status 2.
int usageError(const std::string& message, const std::string& command) {
    std::cerr << "ktrt: " << message << "\nRun 'ktrt " << (command.empty() ? "" : command + " ")
              << "--help' for usage.\n";
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // A subcommand that fails in an unforeseen way (out of memory, a bounds
    // error) reports it and exits with 1 instead of aborting.
    try {
        CLI::App app{"ktrt: check, play, plot, export, preview and import ktrt animations and "
                     "worlds"};
        app.set_version_flag("--version", std::string("ktrt ") + KTRT_VERSION);
        app.require_subcommand(1);
        int status = 0;
        ktrt_tool::registerCheckCommand(app, status);
        ktrt_tool::registerPlayCommand(app, status);
        ktrt_tool::registerPlotCommand(app, status);
        ktrt_tool::registerExportCommand(app, status);
        ktrt_tool::registerPreviewCommand(app, status);
        ktrt_tool::registerImportCommand(app, status);

        // A first word that is no option and no command is a mistyped command.
        const CLI::App& commands = app;
        std::string known;
        bool found = false;
        for (const CLI::App* command :
             commands.get_subcommands([](const CLI::App*) { return true; })) {
            known += (known.empty() ? "" : ", ") + command->get_name();
            found = found || (argc > 1 && command->get_name() == argv[1]);
        }
        if (argc > 1 && argv[1][0] != '-' && !found) {
            return usageError(
                "unknown command '" + std::string(argv[1]) + "' (commands: " + known + ")", "");
        }
        try {
            app.parse(argc, argv);
        } catch (const CLI::CallForHelp& help) {
            return app.exit(help);
        } catch (const CLI::CallForAllHelp& help) {
            return app.exit(help);
        } catch (const CLI::CallForVersion& version) {
            return app.exit(version);
        } catch (const CLI::ParseError& error) {
            std::string command;
            for (const CLI::App* sub : app.get_subcommands())
                command = sub->get_name();
            return usageError(error.what(), command);
        }
        return status;
    } catch (const std::exception& error) {
        std::cerr << "ktrt: " << error.what() << '\n';
        return 1;
    }
}
