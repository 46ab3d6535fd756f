// merlix-cli's sub-commands; see command_line.h.
#include "cli/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "cli/help_examples.h"
#include "cli/usage_words.h"

namespace cli {

namespace {

// Option values the monitor stops at: a count of lines and a time, both
// more than nothing and finite (nan or inf would mean no limit at all).
std::string PositiveCount(const std::string& text) {
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < 1)
        return "takes a number of lines, 1 or more, not '" + text + "'";
    return {};
}

std::string PositiveSeconds(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value <= 0)
        return "takes a time in seconds, more than 0, not '" + text + "'";
    return {};
}

// The options of `app` as the check for mistyped words wants them.
CommandWords WordsOf(const CLI::App& app) {
    CommandWords words{app.get_name(), {}};
    for (const CLI::Option* option : app.get_options()) {
        const int values = option->get_type_size_max() == 0 ? 0 : option->get_expected_min() == 0 ? -1 : 1;
        for (const std::string& name : option->get_lnames()) words.options.push_back({"--" + name, values});
        for (const std::string& name : option->get_snames()) words.options.push_back({"-" + name, values});
    }
    return words;
}

}  // namespace

void AddCommands(CLI::App& app, CommandLine& c) {
    c.probe = app.add_subcommand("probe", "Reset the adapter and report \"PCF 8584 Ok\" or \"Not Found\"");
    c.ports = app.add_subcommand("ports", "Report the parallel ports, access rights and adapters");
    c.chips = app.add_subcommand("chips", "List the supported chips with their facts");
    c.detect = app.add_subcommand(
        "detect",
        "Find what answers on the I2C bus and in the serial socket, and the parts that fit (reads only)");
    AddMemoryCommands(app, c.memory, c.memoryCommands);

    c.set = app.add_subcommand("set", "Write register REG of device ADDR (7-bit) with VALUE");
    c.set->add_option("ADDR", c.reg.address)->required();
    c.set->add_option("REG", c.reg.reg)->required();
    c.set->add_option("VALUE", c.reg.value)->required();
    c.set->add_option("MODE", c.reg.mode, "b (byte, default) or w (word, low byte first)");
    c.mask = c.set->add_option("-m,--mask", c.reg.mask,
                               "Change only the bits set in MASK (the register is read first)");
    c.set->add_flag("-r,--read-back", c.reg.readBack, "Read the register back and compare");
    c.get =
        app.add_subcommand("get", "Read register REG of device ADDR (7-bit); without REG, the byte it sends");
    c.get->add_option("ADDR", c.reg.address)->required();
    c.get->add_option("REG", c.reg.reg);
    c.get->add_option("MODE", c.reg.mode, "b (byte, default) or w (word, low byte first)");
    c.dump = app.add_subcommand("dump", "Read the 256 registers of device ADDR (7-bit) as a table");
    c.dump->add_option("ADDR", c.reg.address)->required();
    c.dump->add_option("-r,--range", c.reg.range, "Only registers FIRST-LAST");
    c.transfer =
        app.add_subcommand("transfer", "I2C messages in i2ctransfer syntax: w2@0x50 0x00 0x10 r16@0x50");
    c.transfer->add_option("MESSAGE", c.messages)->required();
    for (const char* tool : {"i2cdetect", "i2cget", "i2cset", "i2cdump", "i2ctransfer"})
        c.i2cTools.push_back(
            app.add_subcommand(tool, std::string("As i2c-tools' ") + tool +
                                         ": the same arguments, output and exit codes, I2CBUS " +
                                         "naming /dev/i2c-N, or the adapter's bus (the bench's is 1)"));
    c.monitor = app.add_subcommand("monitor", "Log the bus traffic of other masters until Ctrl-C");
    c.monitor->add_option("--filter", c.monitorOptions.filter, "Hide device ADDR (as the log shows it, A0)");
    c.monitor->add_option("--count", c.monitorOptions.count, "Stop after N lines")
        ->check(CLI::Validator(PositiveCount, "N"));
    c.monitor
        ->add_option("--format", c.monitorOptions.format,
                     "log (the window's lines), csv or text (capture text)")
        ->check(CLI::IsMember({"log", "csv", "text"}));
    c.monitor->add_option("--seconds", c.monitorOptions.seconds, "Stop after S seconds")
        ->check(CLI::Validator(PositiveSeconds, "S"));

    for (CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; })) {
        if (const std::string example = CommandExample(sub->get_name()); !example.empty())
            sub->footer(example);
    }
}

std::string UnknownWord(CLI::App& app, int argc, char** argv) {
    std::vector<CommandWords> commands;
    for (const CLI::App* sub : app.get_subcommands([](CLI::App*) { return true; }))
        commands.push_back(WordsOf(*sub));
    CommandWords program = WordsOf(app);
    program.name.clear();
    return UnknownWord(std::vector<std::string>(argv + 1, argv + argc), program, commands);
}

}  // namespace cli
