// The memory sub-commands' options on the command line; see memory_options.h.
#include "cli/memory_options.h"

#include <CLI/CLI.hpp>

namespace cli {

void AddMemoryCommands(CLI::App& app, MemoryOptions& memory, MemoryCommands& commands) {
    const auto addMemory = [&memory](CLI::App* sub) {
        sub->add_option("--chip", memory.chip,
                        "Chip: 24C01..24M02, 93C06x8..93C86x16, AT25C010..AT25C160, 25010..25M02 (see chips)")
            ->required();
        sub->add_option("--device", memory.device, "I2C memories: device address A0..AF (default A0)");
        sub->add_option("--page", memory.page,
                        "I2C memories: one 256-byte page N only (default: the whole chip)");
    };
    const auto addRange = [&memory](CLI::App* sub) {
        sub->add_option("--offset", memory.offset, "Start at byte N (decimal or 0x hex; default 0)")
            ->type_name("N");
        sub->add_option("--length", memory.length, "N bytes (default: to the chip's end)")->type_name("N");
        sub->add_option("--range", memory.range, "Bytes FIRST to LAST, both included: 0x100-0x1FF")
            ->type_name("FIRST-LAST");
    };
    const char* pad = "A raw file shorter than the chip (or range): FF after its end";
    commands.read = app.add_subcommand("read", "Read a chip (a dump on stdout without -o)");
    addMemory(commands.read);
    commands.read->get_option("--chip")->description(
        "Chip as for write, or auto: the one part detect is sure of");
    commands.read->add_option("-o,--output", memory.outputFile, "Save to FILE (- for stdout)")
        ->type_name("FILE");
    commands.read->add_option("--format", memory.format,
                              "raw, ihex or srec (default: by the file's extension)");
    addRange(commands.read);
    const char* inputFormat = "raw, ihex or srec (default: by the file's extension, else by its content)";
    commands.write =
        app.add_subcommand("write", "Write a chip from a raw, Intel HEX or S-record file, then verify");
    addMemory(commands.write);
    commands.write->add_option("-i,--input", memory.inputFile, "FILE (- for stdin)")
        ->required()
        ->type_name("FILE");
    commands.write->add_option("--format", memory.format, inputFormat);
    addRange(commands.write);
    commands.write->add_flag("--pad", memory.pad, pad);
    const auto noVerify = [&memory] { memory.verify = false; };
    const char* unprotect = "25010..25M02: clear the block protection for the write, then set it again";
    commands.write->add_flag("--unprotect", memory.unprotect, unprotect);
    commands.write->add_flag_callback("--no-verify", noVerify, "Do not read the chip back");
    commands.restore = app.add_subcommand(
        "restore", "Write a backup back and verify it (the newest of --chip without FILE)");
    addMemory(commands.restore);
    commands.restore->add_flag("--unprotect", memory.unprotect, unprotect);
    commands.restore->add_option("FILE", commands.restoreFile, "A backup file (default: the chip's newest)")
        ->type_name("FILE");
    commands.verify = app.add_subcommand("verify", "Compare a chip with a file");
    addMemory(commands.verify);
    commands.verify->add_option("-i,--input", memory.inputFile, "FILE (- for stdin)")
        ->required()
        ->type_name("FILE");
    commands.verify->add_option("--format", memory.format, inputFormat);
    addRange(commands.verify);
    commands.verify->add_flag("--pad", memory.pad, pad);
    commands.fill = app.add_subcommand("fill", "Fill a chip with one byte value, then verify");
    addMemory(commands.fill);
    commands.fill->add_option("--value", commands.fillValue, "The byte (default 0xFF)");
    commands.fill->add_flag_callback("--no-verify", noVerify, "Do not read the chip back");
    commands.fill->add_flag("--unprotect", memory.unprotect, unprotect);
    addRange(commands.fill);
    commands.erase = app.add_subcommand("erase", "Set every byte to FF (backup first), then verify");
    addMemory(commands.erase);
    addRange(commands.erase);
    commands.erase->add_flag_callback("--no-verify", noVerify, "Do not read the chip back");
    commands.erase->add_flag("--unprotect", memory.unprotect, unprotect);
    commands.blankCheck = app.add_subcommand(
        "blank-check", "Read a chip and say whether every byte is FF (exit 3 naming the first that is not)");
    addMemory(commands.blankCheck);
    addRange(commands.blankCheck);
}

}  // namespace cli
