// The words of the shells' completion; see completion.h.
#include "cli/completion.h"

#include <dirent.h>
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>

#include "cli/chips.h"
#include "startup/adapter_list.h"

namespace cli {

namespace {

// The nodes in /dev whose names start with `prefix` ("i2c-"), sorted.
std::vector<std::string> Nodes(const std::string& prefix) {
    std::vector<std::string> found;
    if (DIR* dev = ::opendir("/dev")) {
        while (const dirent* entry = ::readdir(dev)) {
            const std::string name = entry->d_name;
            if (name.rfind(prefix, 0) == 0) found.push_back("/dev/" + name);
        }
        ::closedir(dev);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// Every name of the options of `app` itself, long and short.
std::vector<std::string> OptionNames(const CLI::App& app) {
    std::vector<std::string> names;
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

void Print(const std::vector<std::string>& words) {
    for (const std::string& word : words) std::printf("%s\n", word.c_str());
}

}  // namespace

int PrintCompletions(const std::vector<std::string>& what, CLI::App& app) {
    const std::string question = what.empty() ? "" : what[0];
    const std::vector<CLI::App*> commands = app.get_subcommands([](CLI::App*) { return true; });
    if (question == "commands") {
        for (const CLI::App* command : commands) std::printf("%s\n", command->get_name().c_str());
    } else if (question == "options") {
        Print(OptionNames(app));
        for (const CLI::App* command : commands)
            if (what.size() > 1 && command->get_name() == what[1]) Print(OptionNames(*command));
    } else if (question == "chips") {
        for (const Chip& chip : Chips()) std::printf("%s\n", chip.name.c_str());
    } else if (question == "adapters") {
        // The adapters' own words whether or not they are plugged in; the
        // kernel's nodes are those this machine has now.
        Print(startup::AdapterCompletions(Nodes));
    } else {
        std::fprintf(stderr, "merlix-cli: --complete takes commands, options [COMMAND], chips or adapters\n");
        return 2;
    }
    return 0;
}

}  // namespace cli
