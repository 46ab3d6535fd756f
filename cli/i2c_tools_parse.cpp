// The i2c-tools' arguments as the tools themselves read them (i2c-tools 4.3,
// tools/i2cdetect.c, i2cget.c, i2cset.c, i2cdump.c, i2ctransfer.c and
// i2cbusses.c): numbers through strtol with base 0, the same refusals with
// the same sentences and exit codes, the same defaults.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "cli/i2c_tools.h"

namespace cli {

namespace {

constexpr int kBlockMax = 32;      // I2C_SMBUS_BLOCK_MAX (include/uapi/linux/i2c.h)
constexpr int kMostMessages = 42;  // I2C_RDWR_IOCTL_MAX_MSGS (include/uapi/linux/i2c-dev.h)

// strtol(text, &end, 0); `whole` when nothing follows the digits (an empty
// text is 0 and whole, as the tools take it).
long Number(const std::string& text, bool& whole) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    whole = *end == '\0';
    return value;
}

void Say(const char* text) { std::fputs(text, stderr); }

void Help(const std::string& tool) {
    if (tool == "i2cdetect") {
        Say("Usage: i2cdetect [-y] [-a] [-q|-r] I2CBUS [FIRST LAST]\n"
            "       i2cdetect -F I2CBUS\n"
            "       i2cdetect -l\n"
            "  I2CBUS is an integer or an I2C bus name\n"
            "  If provided, FIRST and LAST limit the probing range.\n");
    } else if (tool == "i2cget") {
        Say("Usage: i2cget [-f] [-y] [-a] I2CBUS CHIP-ADDRESS [DATA-ADDRESS [MODE [LENGTH]]]\n"
            "  I2CBUS is an integer or an I2C bus name\n"
            "  ADDRESS is an integer (0x08 - 0x77, or 0x00 - 0x7f if -a is given)\n"
            "  MODE is one of:\n"
            "    b (read byte data, default)\n"
            "    w (read word data)\n"
            "    c (write byte/read byte)\n"
            "    s (read SMBus block data)\n"
            "    i (read I2C block data)\n"
            "    Append p for SMBus PEC\n"
            "  LENGTH is the I2C block data length (between 1 and 32, default 32)\n");
    } else if (tool == "i2cset") {
        Say("Usage: i2cset [-f] [-y] [-m MASK] [-r] [-a] I2CBUS CHIP-ADDRESS DATA-ADDRESS [VALUE] ... "
            "[MODE]\n"
            "  I2CBUS is an integer or an I2C bus name\n"
            "  ADDRESS is an integer (0x08 - 0x77, or 0x00 - 0x7f if -a is given)\n"
            "  MODE is one of:\n"
            "    c (byte, no value)\n"
            "    b (byte data, default)\n"
            "    w (word data)\n"
            "    i (I2C block data)\n"
            "    s (SMBus block data)\n"
            "    Append p for SMBus PEC\n");
    } else if (tool == "i2cdump") {
        Say("Usage: i2cdump [-f] [-y] [-r first-last] [-a] I2CBUS ADDRESS [MODE [BANK [BANKREG]]]\n"
            "  I2CBUS is an integer or an I2C bus name\n"
            "  ADDRESS is an integer (0x08 - 0x77, or 0x00 - 0x7f if -a is given)\n"
            "  MODE is one of:\n"
            "    b (byte, default)\n"
            "    w (word)\n"
            "    W (word on even register addresses)\n"
            "    s (SMBus block, deprecated)\n"
            "    i (I2C block)\n"
            "    c (consecutive byte)\n"
            "    Append p for SMBus PEC\n");
    } else {
        Say("Usage: i2ctransfer [-f] [-y] [-v] [-V] [-a] I2CBUS DESC [DATA] [DESC [DATA]]...\n"
            "  I2CBUS is an integer or an I2C bus name\n"
            "  DESC describes the transfer in the form: {r|w}LENGTH[@address]\n"
            "    1) read/write-flag 2) LENGTH (range 0-65535)\n"
            "    3) I2C address (use last one if omitted)\n"
            "  DATA are LENGTH bytes for a write message. They can be shortened by a suffix:\n"
            "    = (keep value constant until LENGTH)\n"
            "    + (increase value by 1 until LENGTH)\n"
            "    - (decrease value by 1 until LENGTH)\n"
            "    p (use pseudo random generator until LENGTH with value as seed)\n");
    }
}

// Ends the parse with exit code `code`, after the tool's usage when `help`.
bool Stop(I2cToolPlan& plan, int code, bool help = true) {
    if (help) Help(plan.tool);
    plan.done = true;
    plan.code = code;
    return false;
}

// lookup_i2c_bus: a number up to 0xFFFFF. A bus name would be looked up in
// /sys; no adapter here has one, so a name is never found.
bool Bus(const std::string& text, I2cToolPlan& plan) {
    char* end = nullptr;
    const unsigned long bus = std::strtoul(text.c_str(), &end, 0);
    if (*end || text.empty()) {
        std::fprintf(stderr, "Error: I2C bus name doesn't match any bus present!\n");
        return false;
    }
    if (bus > 0xFFFFF) {
        Say("Error: I2C bus out of range!\n");
        return false;
    }
    plan.bus = static_cast<int>(bus);
    return true;
}

// parse_i2c_address
bool Address(const std::string& text, bool all, int& address) {
    bool whole = false;
    const long value = Number(text, whole);
    if (!whole || text.empty()) {
        Say("Error: Chip address is not a number!\n");
        return false;
    }
    const long low = all ? 0x00 : 0x08, high = all ? 0x7F : 0x77;
    if (value < low || value > high) {
        std::fprintf(stderr, "Error: Chip address out of range (0x%02lx-0x%02lx)!\n", low, high);
        return false;
    }
    address = static_cast<int>(value);
    return true;
}

// i2cget's and i2cset's DATA-ADDRESS, a byte, into plan.reg.
bool DataAddress(const std::string& text, I2cToolPlan& plan) {
    bool whole = false;
    const long reg = Number(text, whole);
    if (!whole || reg < 0 || reg > 0xFF) {
        Say("Error: Data address invalid!\n");
        return false;
    }
    plan.reg = static_cast<int>(reg);
    return true;
}

// The leading flags of i2cget, i2cset, i2cdump and i2ctransfer: every word
// that starts with '-', told apart by its second character alone.
bool Flags(const std::vector<std::string>& args, std::size_t& at, I2cToolPlan& plan, const char* known,
           std::string* mask = nullptr, std::string* range = nullptr) {
    bool version = false;
    for (; at < args.size() && !args[at].empty() && args[at][0] == '-'; ++at) {
        const char flag = args[at].size() > 1 ? args[at][1] : '\0';
        if (!flag || !std::strchr(known, flag)) {
            std::fprintf(stderr, "Error: Unsupported option \"%s\"!\n", args[at].c_str());
            return Stop(plan, 1);
        }
        if (flag == 'V') version = true;
        if (flag == 'f') plan.force = true;
        if (flag == 'y') plan.yes = true;
        if (flag == 'a') plan.allAddresses = true;
        if (flag == 'v') plan.verbose = true;
        if (flag == 'r' && !range) plan.readBack = true;
        if ((flag == 'm' && mask) || (flag == 'r' && range)) {
            if (at + 1 < args.size()) *(flag == 'm' ? mask : range) = args[at + 1];
            if (flag == 'r') plan.rangeGiven = true;
            ++at;
        }
    }
    if (version) {
        std::fprintf(stderr, "%s version 4.3\n", plan.tool.c_str());
        return Stop(plan, 0, false);
    }
    return true;
}

bool ParseDetect(const std::vector<std::string>& args, I2cToolPlan& plan) {
    // getopt: flags anywhere before "--", several in one word.
    std::vector<std::string> words;
    bool version = false, list = false, flagsOver = false;
    for (const std::string& arg : args) {
        if (flagsOver || arg.size() < 2 || arg[0] != '-') {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            flagsOver = true;
            continue;
        }
        for (std::size_t i = 1; i < arg.size(); ++i) {
            const char flag = arg[i];
            if (flag == 'F' || flag == 'r' || flag == 'q') {
                const char mode = flag == 'F' ? 'F' : flag;
                if ((mode == 'F' && plan.probe != 'a' && plan.probe != 'F') ||
                    (mode == 'r' && plan.probe == 'q') || (mode == 'q' && plan.probe == 'r')) {
                    Say("Error: Different modes specified!\n");
                    return Stop(plan, 1, false);
                }
                plan.probe = mode;
            } else if (flag == 'V') {
                version = true;
            } else if (flag == 'y') {
                plan.yes = true;
            } else if (flag == 'l') {
                list = true;
            } else if (flag == 'a') {
                plan.first = 0x00;
                plan.last = 0x7F;
            } else if (flag == 'h') {
                return Stop(plan, 0);
            } else {
                std::fprintf(stderr, "i2cdetect: invalid option -- '%c'\n", flag);
                return Stop(plan, 1);
            }
        }
    }
    if (version) {
        Say("i2cdetect version 4.3\n");
        return Stop(plan, 0, false);
    }
    if (list) {
        plan.probe = 'l';
        return true;
    }
    if (words.empty()) {
        Say("Error: No i2c-bus specified!\n");
        return Stop(plan, 1);
    }
    if (!Bus(words[0], plan)) return Stop(plan, 1);
    if (words.size() == 3 && plan.probe != 'F') {
        int* ends[] = {&plan.first, &plan.last};
        const char* names[] = {"FIRST", "LAST"};
        for (int k = 0; k < 2; ++k) {
            bool whole = false;
            const long value = Number(words[1 + k], whole);
            if (!whole) {
                std::fprintf(stderr, "Error: %s argument not a number!\n", names[k]);
                return Stop(plan, 1);
            }
            if (value < plan.first || value > plan.last) {
                std::fprintf(stderr, "Error: %s argument out of range (0x%02x-0x%02x)!\n", names[k],
                             plan.first, plan.last);
                return Stop(plan, 1);
            }
            *ends[k] = static_cast<int>(value);
        }
    } else if (words.size() != 1) {
        return Stop(plan, 1);
    }
    return true;
}

bool ParseGet(const std::vector<std::string>& args, I2cToolPlan& plan) {
    std::size_t at = 0;
    if (!Flags(args, at, plan, "Vfya")) return false;
    if (args.size() < at + 2 || !Bus(args[at], plan) ||
        !Address(args[at + 1], plan.allAddresses, plan.address))
        return Stop(plan, 1);
    plan.mode = 'c';  // receive byte without a data address
    if (args.size() > at + 2) {
        if (!DataAddress(args[at + 2], plan)) return Stop(plan, 1);
        plan.mode = 'b';
    }
    if (args.size() > at + 3) {
        const std::string& mode = args[at + 3];
        if (mode.empty() || !std::strchr("bwcsi", mode[0])) {
            Say("Error: Invalid mode!\n");
            return Stop(plan, 1);
        }
        plan.mode = mode[0];
        plan.pec = mode.size() > 1 && mode[1] == 'p';
        if (plan.mode == 'i' && plan.pec) {
            Say("Error: PEC not supported for I2C block data!\n");
            return Stop(plan, 1);
        }
    }
    if (args.size() > at + 4) {
        if (plan.mode != 'i') {
            Say("Error: Length only valid for I2C block data!\n");
            return Stop(plan, 1);
        }
        bool whole = false;
        const long length = Number(args[at + 4], whole);
        if (!whole || length < 1 || length > kBlockMax) {
            Say("Error: Length invalid!\n");
            return Stop(plan, 1);
        }
        plan.length = static_cast<int>(length);
    }
    return true;
}

// A data byte or word of i2cset: one of its two refusals, else true.
bool DataValue(const std::string& text, long high, long& value) {
    bool whole = false;
    value = Number(text, whole);
    if (!whole || value < 0) {
        Say("Error: Data value invalid!\n");
        return false;
    }
    if (value > high) {
        Say("Error: Data value out of range!\n");
        return false;
    }
    return true;
}

bool ParseSet(const std::vector<std::string>& args, I2cToolPlan& plan) {
    std::size_t at = 0;
    const std::string unset = "\x01";  // -m not given (or given as the last word, which i2cset ignores)
    std::string mask = unset;
    if (!Flags(args, at, plan, "Vfymra", &mask)) return false;
    const bool maskGiven = mask != unset;
    const std::size_t n = args.size();
    if (n < at + 3 || !Bus(args[at], plan) || !Address(args[at + 1], plan.allAddresses, plan.address))
        return Stop(plan, 1);
    if (!DataAddress(args[at + 2], plan)) return Stop(plan, 1);
    bool whole = false;
    if (n == at + 3) {
        plan.mode = 'c';
    } else if (n == at + 4) {
        plan.mode = args[at + 3] == "c" || args[at + 3] == "cp" ? 'c' : 'b';
        plan.pec = args[at + 3] == "cp";
    } else {
        const std::string& mode = args.back();
        if (mode.empty() || mode.size() > 2 || (mode.size() == 2 && mode[1] != 'p') ||
            !std::strchr("bwsi", mode[0])) {
            std::fprintf(stderr, "Error: Invalid mode '%s'!\n", mode.c_str());
            return Stop(plan, 1);
        }
        plan.mode = mode[0];
        plan.pec = mode.size() == 2;
        if (plan.mode == 's' || plan.mode == 'i') {
            if (plan.pec && plan.mode == 'i') {
                Say("Error: PEC not supported for I2C block writes!\n");
                return Stop(plan, 1);
            }
            if (maskGiven) {
                Say("Error: Mask not supported for block writes!\n");
                return Stop(plan, 1);
            }
            if (n > at + 4 + kBlockMax) {
                Say("Error: Too many arguments!\n");
                return Stop(plan, 1);
            }
        } else if (n != at + 5) {
            Say("Error: Too many arguments!\n");
            return Stop(plan, 1);
        }
    }
    if (plan.mode == 'c') {
        plan.value = plan.reg;  // a send byte: the data address is the byte
    } else if (plan.mode == 'b' || plan.mode == 'w') {
        if (!DataValue(args[at + 3], plan.mode == 'w' ? 0xFFFF : 0xFF, plan.value)) return Stop(plan, 1);
    } else {
        for (std::size_t k = at + 3; k + 1 < n; ++k) {
            long value = 0;
            if (!DataValue(args[k], 0xFF, value)) return Stop(plan, 1);
            plan.block.push_back(static_cast<std::uint8_t>(value));
        }
    }
    if (maskGiven) {
        plan.mask = Number(mask, whole);
        if (!whole || plan.mask == 0) {
            Say("Error: Data value mask invalid!\n");
            return Stop(plan, 1);
        }
        if (((plan.mode == 'c' || plan.mode == 'b') && plan.mask > 0xFF) || plan.mask > 0xFFFF) {
            Say("Error: Data value mask out of range!\n");
            return Stop(plan, 1);
        }
    }
    return true;
}

bool ParseDump(const std::vector<std::string>& args, I2cToolPlan& plan) {
    std::size_t at = 0;
    std::string range;
    if (!Flags(args, at, plan, "Vfrya", nullptr, &range)) return false;
    const std::size_t n = args.size();
    if (n < at + 1) {
        Say("Error: No i2c-bus specified!\n");
        return Stop(plan, 1);
    }
    if (!Bus(args[at], plan)) return Stop(plan, 1);
    if (n < at + 2) {
        Say("Error: No address specified!\n");
        return Stop(plan, 1);
    }
    if (!Address(args[at + 1], plan.allAddresses, plan.address)) return Stop(plan, 1);
    if (n < at + 3) {
        Say("No size specified (using byte-data access)\n");
    } else {
        const std::string& mode = args[at + 2];
        const char first = mode.empty() ? '\0' : mode[0];
        if (first == 'b' || first == 'w' || first == 's' || first == 'c') {
            plan.mode = first;
            plan.pec = mode.size() > 1 && mode[1] == 'p';
            if (first == 's') Say("SMBus block mode is deprecated, please use i2cget instead\n");
        } else if (first == 'W') {
            plan.mode = 'w';
            plan.even = true;
        } else if (mode == "i") {
            plan.mode = 'i';
        } else {
            Say("Error: Invalid mode!\n");
            return Stop(plan, 1);
        }
    }
    if (n > at + 3) {
        bool whole = false;
        plan.bank = static_cast<int>(Number(args[at + 3], whole));
        if (!whole || plan.mode == 'i') {
            Say("Error: Invalid bank number!\n");
            return Stop(plan, 1);
        }
        if ((plan.mode == 'b' || plan.mode == 'w') && (plan.bank < 0 || plan.bank > 15)) {
            Say("Error: bank out of range!\n");
            return Stop(plan, 1);
        }
        if (plan.mode == 's' && (plan.bank < 0 || plan.bank > 0xFF)) {
            Say("Error: block command out of range!\n");
            return Stop(plan, 1);
        }
        if (n > at + 4) {
            plan.bankRegister = static_cast<int>(Number(args[at + 4], whole));
            if (!whole || plan.mode == 's') {
                Say("Error: Invalid bank register number!\n");
                return Stop(plan, 1);
            }
            if (plan.bankRegister < 0 || plan.bankRegister > 0xFF) {
                Say("Error: bank out of range (0-0xff)!\n");
                return Stop(plan, 1);
            }
        }
    }
    plan.first = 0x00;
    plan.last = 0xFF;
    if (plan.rangeGiven) {
        char* dash = nullptr;
        const long first = std::strtol(range.c_str(), &dash, 0);
        char* end = nullptr;
        const bool good = dash != range.c_str() && *dash == '-' && first >= 0 && first <= 0xFF;
        const long last = good ? std::strtol(dash + 1, &end, 0) : -1;
        if (!good || end == dash + 1 || *end != '\0' || last < first || last > 0xFF) {
            Say("Error: Invalid range parameter!\n");
            return Stop(plan, 1, false);
        }
        const bool fits =
            plan.mode != 's' && (plan.mode != 'w' || (plan.even && first % 2 == 0 && last % 2 == 1));
        if (!fits) {
            Say("Error: Range parameter not compatible with selected mode!\n");
            return Stop(plan, 1, false);
        }
        plan.first = static_cast<int>(first);
        plan.last = static_cast<int>(last);
    }
    return true;
}

// The next byte after `data` for a data suffix: = the same, + and - one up or
// down, p an 8-bit add-xor-rotate sequence (xor 27, add 13, rotate left by one).
std::uint8_t NextByte(std::uint8_t data, char suffix) {
    if (suffix == '+') return static_cast<std::uint8_t>(data + 1);
    if (suffix == '-') return static_cast<std::uint8_t>(data - 1);
    if (suffix == 'p') {
        const auto mixed = static_cast<std::uint8_t>((data ^ 27) + 13);
        return static_cast<std::uint8_t>(mixed << 1 | mixed >> 7);
    }
    return data;
}

bool ParseTransfer(const std::vector<std::string>& args, I2cToolPlan& plan) {
    std::size_t at = 0;
    if (!Flags(args, at, plan, "Vvfya")) return false;
    if (at == args.size()) return Stop(plan, 1);
    if (!Bus(args[at++], plan)) return Stop(plan, 1, false);
    const auto faulty = [&plan](const std::string& arg, const char* error) {
        std::fprintf(stderr, "%sError: faulty argument is '%s'\n", error, arg.c_str());
        return Stop(plan, 1, false);
    };
    int address = -1;
    std::size_t filled = 0;
    bool wantData = false;
    for (; at < args.size(); ++at) {
        const std::string& arg = args[at];
        if (static_cast<int>(plan.messages.size()) > kMostMessages) {
            std::fprintf(stderr, "Error: Too many messages (max: %d)\n", kMostMessages);
            return Stop(plan, 1, false);
        }
        if (!wantData) {
            if (arg.empty() || (arg[0] != 'r' && arg[0] != 'w'))
                return faulty(arg, "Error: Invalid direction\n");
            if (arg.size() > 1 && arg[1] == '?')
                return faulty(arg, arg[0] == 'w'
                                       ? "Error: variable length not allowed with write\n"
                                       : "Error: a read of a length the device gives is not supported\n");
            char* end = nullptr;
            const unsigned long length = std::strtoul(arg.c_str() + 1, &end, 0);
            if (length > 0xFFFF || end == arg.c_str() + 1) return faulty(arg, "Error: Length invalid\n");
            if (*end) {
                if (*end != '@') return faulty(arg, "Error: Unknown separator after length\n");
                if (!Address(end + 1, plan.allAddresses, address)) return faulty(arg, "");
            } else if (address < 0) {
                return faulty(arg, "Error: No address given\n");
            }
            I2cToolPlan::Message message{address, arg[0] == 'r', std::vector<std::uint8_t>(length),
                                         *end ? arg : std::string()};
            plan.messages.push_back(std::move(message));
            wantData = arg[0] == 'w' && length > 0;
            filled = 0;
            continue;
        }
        char* end = nullptr;
        const unsigned long raw = std::strtoul(arg.c_str(), &end, 0);
        if (raw > 0xFF || end == arg.c_str()) return faulty(arg, "Error: Invalid data byte\n");
        std::vector<std::uint8_t>& bytes = plan.messages.back().bytes;
        auto data = static_cast<std::uint8_t>(raw);
        while (filled < bytes.size()) {
            bytes[filled++] = data;
            if (!*end) break;
            if (!std::strchr("p+-=", *end)) return faulty(arg, "Error: Invalid data byte suffix\n");
            data = NextByte(data, *end);
        }
        wantData = filled < bytes.size();
    }
    if (wantData || plan.messages.empty()) {
        Say("Error: Incomplete message\n");
        return Stop(plan, 1, false);
    }
    return true;
}

}  // namespace

std::string I2cToolName(std::string_view name) {
    if (name.rfind("merlix-", 0) == 0) name.remove_prefix(7);
    for (const char* tool : {"i2cdetect", "i2cget", "i2cset", "i2cdump", "i2ctransfer"})
        if (name == tool) return tool;
    return {};
}

int I2cToolPosition(int argc, char** argv) {
    for (int k = 1; k < argc; ++k) {
        const std::string word = argv[k];
        if (!I2cToolName(word).empty() && I2cToolName(word) == word) return k;
        const std::string before = argv[k - 1];
        const bool value = before.rfind("--", 0) == 0 && before.find('=') == std::string::npos;
        if (word.empty() || (word[0] != '-' && !value)) return 0;
    }
    return 0;
}

std::vector<char*> I2cToolLink(int argc, char** argv, std::vector<std::string>& words) {
    std::vector<char*> result{argv, argv + argc};
    const char* slash = std::strrchr(argv[0], '/');
    const std::string tool = I2cToolName(slash ? slash + 1 : argv[0]);
    if (tool.empty()) return result;
    words = {"merlix-cli"};
    if (const char* options = std::getenv("MERLIX_CLI_OPTIONS")) {
        std::istringstream split(options);
        for (std::string word; split >> word;) words.push_back(word);
    }
    words.push_back(tool);
    result.erase(result.begin());
    std::vector<char*> front;
    for (std::string& word : words) front.push_back(word.data());
    result.insert(result.begin(), front.begin(), front.end());
    return result;
}

bool ParseI2cTool(const std::string& tool, const std::vector<std::string>& args, I2cToolPlan& plan) {
    plan.tool = tool;
    if (tool == "i2cdetect") return ParseDetect(args, plan);
    if (tool == "i2cget") return ParseGet(args, plan);
    if (tool == "i2cset") return ParseSet(args, plan);
    if (tool == "i2cdump") return ParseDump(args, plan);
    return ParseTransfer(args, plan);
}

}  // namespace cli
