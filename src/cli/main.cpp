// koru: the batch tool. Exit status 0 on success, 1 when the operation
// failed (its message on stderr), 2 on a usage error.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "CliUi.h"
#include "Subcommand.h"

namespace {
constexpr const char* kInsufficientMemoryLine =
    "Error: KORU VIEW -- Insufficient Memory: the operation was not completed.\n";

int Run(int argc, char** argv) {
    using namespace koru::cli;
    CLI::App app{
        "Batch tool of KORU VIEW: the viewer's file operations without a window.\n"
        "Messages are printed to stderr as TITLE: TEXT.",
        "koru"};
    app.set_version_flag("--version", std::string("KORU VIEW ") + KORU_VERSION_TEXT,
                         "Print the version and exit");
    app.require_subcommand(1);
    bool quiet = false;
    app.add_flag("--quiet", quiet,
                 "Print no information boxes (such as the marker cap), only failures");
    // So that --quiet may come after the subcommand too.
    app.fallthrough();

    std::vector<std::pair<CLI::App*, std::unique_ptr<Subcommand>>> commands;
    for (const SubcommandEntry& entry : Subcommands()) {
        std::unique_ptr<Subcommand> command = entry.make();
        CLI::App* sub = app.add_subcommand(entry.name, entry.summary);
        command->Define(*sub);
        commands.emplace_back(sub, std::move(command));
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version are "errors" with status 0, printed to stdout.
        return app.exit(e) == 0 ? kSuccess : kUsage;
    }
    CliUi ui;
    ui.quiet = quiet;
    for (auto& [sub, command] : commands) {
        if (sub->parsed()) return command->Run(ui) && !ui.Failed() ? kSuccess : kFailure;
    }
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        // Whatever was being written is abandoned by its writer on the way
        // out; the script hears why instead of seeing an abort.
        std::fputs(kInsufficientMemoryLine, stderr);
        return koru::cli::kFailure;
    }
}
