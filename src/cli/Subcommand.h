#pragma once
// A subcommand of `koru` is one file: a class that defines its options on
// its own CLI11 subcommand and runs on a CliUi, registered at the end of the
// file with
//
//   const Registrar<InfoCommand> kInfo{"info", "Print what a recording holds", 10};
//
// The number orders the subcommands in --help.

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <vector>

#include "CliUi.h"

namespace koru::cli {

class Subcommand {
  public:
    virtual ~Subcommand() = default;
    // Adds the options and arguments; values land in the object's members.
    virtual void Define(CLI::App& sub) = 0;
    // Runs after a successful parse. False when it failed; the reason was
    // shown through the Ui.
    virtual bool Run(CliUi& ui) = 0;
};

struct SubcommandEntry {
    const char* name;
    const char* summary;
    int order;
    std::function<std::unique_ptr<Subcommand>()> make;
};

// Every registered subcommand, in the order of their `order` numbers.
std::vector<SubcommandEntry> Subcommands();
void RegisterSubcommand(SubcommandEntry entry);

template <class T>
struct Registrar {
    Registrar(const char* name, const char* summary, int order) {
        RegisterSubcommand({name, summary, order, [] { return std::make_unique<T>(); }});
    }
};

}  // namespace koru::cli
