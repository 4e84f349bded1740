#include "Subcommand.h"

#include <algorithm>

namespace koru::cli {

namespace {
// A function-local list, so registrars in other files may run first.
std::vector<SubcommandEntry>& Entries() {
    static std::vector<SubcommandEntry> entries;
    return entries;
}
}  // namespace

void RegisterSubcommand(SubcommandEntry entry) {
    Entries().push_back(std::move(entry));
}

std::vector<SubcommandEntry> Subcommands() {
    std::vector<SubcommandEntry> sorted = Entries();
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.order < b.order; });
    return sorted;
}

}  // namespace koru::cli
