// i2cdetect, i2cget, i2cset, i2cdump and i2ctransfer on any adapter with an
// I2C master: the i2c-tools' own arguments, output and exit codes, so that a
// script written for them runs unchanged. SMBus transactions are run as the
// kernel runs them on a plain I2C adapter (drivers/i2c/i2c-core-smbus.c,
// i2c_smbus_xfer_emulated): one or two messages each.
//
// A tool runs in two steps, as the i2c-tools do: its arguments are read
// before the bus is opened (ParseI2cTool), the rest runs on the adapter the
// bus number names (RunI2cTool).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cli/commands.h"

namespace cli {

// "i2cdetect" for "i2cdetect" and "merlix-i2cdetect"; empty when `name` is
// none of the tools.
std::string I2cToolName(std::string_view name);

// The words after an i2c-tools command are that tool's own (its -q, -r and
// -y are not merlix-cli's): the position of the command's name in argv, or 0.
// Only options and their values may come before it.
int I2cToolPosition(int argc, char** argv);

// Called through a link named i2cget or merlix-i2cget (and so on),
// merlix-cli is that tool: argv with "merlix-cli", the words of
// $MERLIX_CLI_OPTIONS (such as --adapter i2c-dev:/dev/i2c-7) and the tool's name in
// front of the tool's arguments. `words` keeps the new words.
std::vector<char*> I2cToolLink(int argc, char** argv, std::vector<std::string>& words);

struct I2cToolPlan {
    std::string tool;
    int bus = -1;
    bool yes = false, force = false, allAddresses = false;
    bool done = false;  // answered already (-V, -h): exit with `code`
    int code = 0;
    // i2cdetect
    char probe = 'a';  // a (by address), q (quick write), r (receive byte), F (functions), l (list)
    int first = 0x08, last = 0x77;
    // i2cget, i2cset, i2cdump
    int address = -1;
    int reg = -1;  // the data address, -1: none
    char mode = 'b';
    bool pec = false;
    int length = 32;  // i2cget's I2C block length
    std::vector<std::uint8_t> block;
    long value = -1, mask = 0;
    bool readBack = false;
    bool even = false;  // i2cdump W
    int bank = 0, bankRegister = 0x4E;
    bool rangeGiven = false;
    // i2ctransfer
    bool verbose = false;
    struct Message {
        int address = 0;
        bool read = false;
        std::vector<std::uint8_t> bytes;
        std::string named{};  // its description when it names its address ("w1@0x50"), else empty
    };
    // The i2c-dev node of the bus, where a kernel driver can hold an
    // address; empty on the other adapters.
    std::string node;
    std::vector<Message> messages;
};

// Reads the tool's arguments (after its name). False when the tool has
// answered already: its sentences are on stderr and plan.code is the exit
// code. The messages of i2ctransfer are read here too.
bool ParseI2cTool(const std::string& tool, const std::vector<std::string>& args, I2cToolPlan& plan);

// The adapter the plan's bus number names: without an adapter chosen
// (`picked`), /dev/i2c-N, put into `adapters`; with one, the number must be
// that adapter's bus: on the bench 1, as its fake /dev/i2c-1, i2c-dev's own
// N, the index of a USB adapter of which several may be plugged in. 0, or the i2c-tools' open failure and
// their exit code 1.
int ChooseI2cBus(I2cToolPlan& plan, bool picked, bool bench, std::vector<std::string>& adapters);

// Runs the plan on the context's I2C master and returns the tool's exit code.
int RunI2cTool(CommandContext& context, const I2cToolPlan& plan, const std::string& busName);

}  // namespace cli
