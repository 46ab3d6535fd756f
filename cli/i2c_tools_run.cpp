// The i2c-tools on the context's I2C master: what each prints on stdout and
// stderr and the exit codes it ends with are those of i2c-tools 4.3
// (tools/i2cdetect.c, i2cget.c, i2cset.c, i2cdump.c, i2ctransfer.c).
#include <fcntl.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/command_support.h"
#include "cli/i2c_tools.h"
#include "hardware/i2c_master.h"

namespace cli {

namespace {

// SMBus transactions as the kernel emulates them on an I2C adapter
// (drivers/i2c/i2c-core-smbus.c, i2c_smbus_xfer_emulated): a write of the
// command and the data, or the command written and the data read after a
// repeated START. Each returns the value read (0 for a write), below 0 when
// the device did not answer.
class Smbus {
public:
    Smbus(hardware::I2cMaster& i2c, int address) : i2c_(i2c), address_(static_cast<std::uint8_t>(address)) {}

    // What the adapter can run, as I2C_FUNCS would say it: every transaction
    // is one message, or two where the adapter joins two by a repeated START.
    static unsigned long Functions(const hardware::I2cCapabilities& caps) {
        unsigned long functions = I2C_FUNC_I2C | I2C_FUNC_SMBUS_QUICK | I2C_FUNC_SMBUS_BYTE |
                                  I2C_FUNC_SMBUS_WRITE_BYTE_DATA | I2C_FUNC_SMBUS_WRITE_WORD_DATA |
                                  I2C_FUNC_SMBUS_WRITE_I2C_BLOCK;
        if (caps.maxMessages >= 2)
            functions |=
                I2C_FUNC_SMBUS_READ_BYTE_DATA | I2C_FUNC_SMBUS_READ_WORD_DATA | I2C_FUNC_SMBUS_READ_I2C_BLOCK;
        return functions;
    }

    int Quick() { return Write({}); }
    int ReceiveByte() {
        std::uint8_t byte = 0;
        return Read({}, {&byte, 1}) < 0 ? -1 : byte;
    }
    int SendByte(int value) {
        const std::uint8_t out[] = {static_cast<std::uint8_t>(value)};
        return Write(out);
    }
    int ReadByteData(int reg) {
        std::uint8_t byte = 0;
        return Read(Command(reg), {&byte, 1}) < 0 ? -1 : byte;
    }
    int ReadWordData(int reg) {
        std::uint8_t bytes[2] = {};
        return Read(Command(reg), bytes) < 0 ? -1 : bytes[0] | bytes[1] << 8;
    }
    int ReadBlock(int reg, std::span<std::uint8_t> data) {
        return Read(Command(reg), data) < 0 ? -1 : static_cast<int>(data.size());
    }
    int WriteData(int reg, std::span<const std::uint8_t> data) {
        std::vector<std::uint8_t> out{static_cast<std::uint8_t>(reg)};
        out.insert(out.end(), data.begin(), data.end());
        return Write(out);
    }
    int WriteByteData(int reg, int value) {
        const std::uint8_t byte = static_cast<std::uint8_t>(value);
        return WriteData(reg, {&byte, 1});
    }
    int WriteWordData(int reg, int value) {
        const std::uint8_t bytes[] = {static_cast<std::uint8_t>(value),
                                      static_cast<std::uint8_t>(value >> 8)};
        return WriteData(reg, bytes);
    }

private:
    std::span<std::uint8_t> Command(int reg) {
        command_ = static_cast<std::uint8_t>(reg);
        return {&command_, 1};
    }
    int Write(std::span<const std::uint8_t> bytes) {
        std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
        const hardware::I2cMessage message{address_, false, copy};
        return i2c_.Transfer({&message, 1}).Ok() ? 0 : -1;
    }
    int Read(std::span<std::uint8_t> command, std::span<std::uint8_t> data) {
        const hardware::I2cMessage messages[] = {{address_, false, command}, {address_, true, data}};
        const auto first = command.empty() ? 1 : 0;
        return i2c_.Transfer({messages + first, messages + 2}).Ok() ? 0 : -1;
    }

    hardware::I2cMaster& i2c_;
    std::uint8_t address_;
    std::uint8_t command_ = 0;
};

// util.c's user_ack: the first character of a line, `yes` when it is
// neither y nor n; no answer at all is a no.
bool UserAck(bool yes) {
    int c = std::fgetc(stdin);
    if (c == EOF) return false;
    bool answer = c == 'y' || c == 'Y' ? true : c == 'n' || c == 'N' ? false : yes;
    while (c != '\n') {
        c = std::fgetc(stdin);
        if (c == EOF) return false;
    }
    return answer;
}

bool Continue(bool yes) {
    std::fprintf(stderr, "Continue? [%s] ", yes ? "Y/n" : "y/N");
    std::fflush(stderr);
    if (UserAck(yes)) return true;
    std::fprintf(stderr, "Aborting on user request.\n");
    return false;
}

constexpr const char* kWarning =
    "WARNING! This program can confuse your I2C bus, cause data loss and worse!\n";

// The capability a tool's transaction needs, as its check_funcs names it;
// false (with the sentence) when the adapter lacks it.
bool HasFunction(unsigned long functions, unsigned long needed, const char* name) {
    if (functions & needed) return true;
    std::fprintf(stderr, "Error: Adapter does not have %s capability\n", name);
    return false;
}

bool ReadFunctions(unsigned long functions, char mode, bool write, bool command) {
    switch (mode) {
        case 'c':
            if (write) return HasFunction(functions, I2C_FUNC_SMBUS_WRITE_BYTE, "SMBus send byte");
            return HasFunction(functions, I2C_FUNC_SMBUS_READ_BYTE, "SMBus receive byte") &&
                   (!command || HasFunction(functions, I2C_FUNC_SMBUS_WRITE_BYTE, "SMBus send byte"));
        case 'b':
            return write ? HasFunction(functions, I2C_FUNC_SMBUS_WRITE_BYTE_DATA, "SMBus write byte")
                         : HasFunction(functions, I2C_FUNC_SMBUS_READ_BYTE_DATA, "SMBus read byte");
        case 'w':
            return write ? HasFunction(functions, I2C_FUNC_SMBUS_WRITE_WORD_DATA, "SMBus write word")
                         : HasFunction(functions, I2C_FUNC_SMBUS_READ_WORD_DATA, "SMBus read word");
        case 's':
            return write ? HasFunction(functions, I2C_FUNC_SMBUS_WRITE_BLOCK_DATA, "SMBus block write")
                         : HasFunction(functions, I2C_FUNC_SMBUS_READ_BLOCK_DATA, "SMBus block read");
        default:
            return write ? HasFunction(functions, I2C_FUNC_SMBUS_WRITE_I2C_BLOCK, "I2C block write")
                         : HasFunction(functions, I2C_FUNC_SMBUS_READ_I2C_BLOCK, "I2C block read");
    }
}

// Which addresses a kernel driver holds on an i2c-dev bus: those i2c-dev
// refuses to point a file at without force (EBUSY, drivers/i2c/i2c-dev.c).
// i2cdetect shows them as UU; the other tools refuse them without -f.
class DriverHolds {
public:
    explicit DriverHolds(const std::string& node)
        : fd_(node.empty() ? -1 : ::open(node.c_str(), O_RDWR | O_CLOEXEC)) {}
    ~DriverHolds() {
        if (fd_ >= 0) ::close(fd_);
    }
    DriverHolds(const DriverHolds&) = delete;
    DriverHolds& operator=(const DriverHolds&) = delete;

    bool Held(int address) const {
        return fd_ >= 0 && ::ioctl(fd_, I2C_SLAVE, static_cast<unsigned long>(address)) < 0 && errno == EBUSY;
    }
    // set_slave_addr's refusal: false with its sentence when held.
    bool Free(int address) const {
        if (!Held(address)) return true;
        std::fprintf(stderr, "Error: Could not set address to 0x%02x: %s\n", address, std::strerror(EBUSY));
        return false;
    }

private:
    int fd_;
};

// No adapter here computes SMBus packet error codes.
int NoPec() {
    std::fprintf(stderr, "Error: Could not set PEC: %s\n", std::strerror(EOPNOTSUPP));
    return 1;
}

int Detect(hardware::I2cMaster& i2c, const I2cToolPlan& plan, const std::string& file,
           unsigned long functions, const DriverHolds& holds) {
    if (plan.probe == 'F') {
        std::printf("Functionalities implemented by %s:\n", file.c_str());
        const std::pair<unsigned long, const char*> names[] = {
            {I2C_FUNC_I2C, "I2C"},
            {I2C_FUNC_SMBUS_QUICK, "SMBus Quick Command"},
            {I2C_FUNC_SMBUS_WRITE_BYTE, "SMBus Send Byte"},
            {I2C_FUNC_SMBUS_READ_BYTE, "SMBus Receive Byte"},
            {I2C_FUNC_SMBUS_WRITE_BYTE_DATA, "SMBus Write Byte"},
            {I2C_FUNC_SMBUS_READ_BYTE_DATA, "SMBus Read Byte"},
            {I2C_FUNC_SMBUS_WRITE_WORD_DATA, "SMBus Write Word"},
            {I2C_FUNC_SMBUS_READ_WORD_DATA, "SMBus Read Word"},
            {I2C_FUNC_SMBUS_PROC_CALL, "SMBus Process Call"},
            {I2C_FUNC_SMBUS_WRITE_BLOCK_DATA, "SMBus Block Write"},
            {I2C_FUNC_SMBUS_READ_BLOCK_DATA, "SMBus Block Read"},
            {I2C_FUNC_SMBUS_BLOCK_PROC_CALL, "SMBus Block Process Call"},
            {I2C_FUNC_SMBUS_PEC, "SMBus PEC"},
            {I2C_FUNC_SMBUS_WRITE_I2C_BLOCK, "I2C Block Write"},
            {I2C_FUNC_SMBUS_READ_I2C_BLOCK, "I2C Block Read"}};
        for (const auto& [bit, name] : names) std::printf("%-32s %s\n", name, functions & bit ? "yes" : "no");
        return 0;
    }
    if (!plan.yes) {
        std::fputs(kWarning, stderr);
        std::fprintf(stderr, "I will probe file %s%s.\n", file.c_str(),
                     plan.probe == 'q'   ? " using quick write commands"
                     : plan.probe == 'r' ? " using receive byte commands"
                                         : "");
        std::fprintf(stderr, "I will probe address range 0x%02x-0x%02x.\n", plan.first, plan.last);
        // i2cdetect takes an empty line as yes and anything but y or Y as no.
        std::fprintf(stderr, "Continue? [Y/n] ");
        std::fflush(stderr);
        const int c = std::fgetc(stdin);
        if (c != '\n' && c != 'y' && c != 'Y') {
            std::fprintf(stderr, "Aborting on user request.\n");
            return 0;
        }
    }
    std::printf("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f\n");
    for (int row = 0; row < 128; row += 16) {
        std::printf("%02x: ", row);
        for (int address = row; address < row + 16; ++address) {
            // By default the addresses of memories (0x50..0x5F) and of
            // write-only chips that a quick write could lock (0x30..0x37) are
            // probed with a read, all others with a quick write, which
            // writes nothing.
            char how = plan.probe;
            if (how == 'a')
                how =
                    (address >= 0x30 && address <= 0x37) || (address >= 0x50 && address <= 0x5F) ? 'r' : 'q';
            if (address < plan.first || address > plan.last ||
                !(functions & (how == 'r' ? I2C_FUNC_SMBUS_READ_BYTE : I2C_FUNC_SMBUS_QUICK))) {
                std::printf("   ");
                continue;
            }
            if (holds.Held(address)) {
                std::printf("UU ");
                continue;
            }
            Smbus device(i2c, address);
            const int result = how == 'r' ? device.ReceiveByte() : device.Quick();
            if (result < 0)
                std::printf("-- ");
            else
                std::printf("%02x ", address);
        }
        std::printf("\n");
    }
    return 0;
}

int Get(Smbus& device, const I2cToolPlan& plan, const std::string& file) {
    if (!plan.yes) {
        std::fputs(kWarning, stderr);
        if (plan.address >= 0x50 && plan.address <= 0x57 && plan.pec) {
            std::fputs(
                "STOP! EEPROMs are I2C devices, not SMBus devices. Using PEC\non I2C devices may result in "
                "unexpected results, such as\ntrashing the contents of EEPROMs. We can't let you do that, "
                "sorry.\n",
                stderr);
            return 0;
        }
        std::fprintf(stderr, "I will read from device file %s, chip address 0x%02x, ", file.c_str(),
                     plan.address);
        if (plan.reg < 0)
            std::fprintf(stderr, "current data\naddress");
        else
            std::fprintf(stderr, "data address\n0x%02x", plan.reg);
        if (plan.mode == 'i')
            std::fprintf(stderr, ", %d %s using read I2C block data.\n", plan.length,
                         plan.length > 1 ? "bytes" : "byte");
        else
            std::fprintf(stderr, ", using %s.\n",
                         plan.mode == 'c'   ? (plan.reg < 0 ? "read byte" : "write byte/read byte")
                         : plan.mode == 'b' ? "read byte data"
                                            : "read word data");
        if (!Continue(true)) return 0;
    }
    if (plan.pec) return NoPec();
    int result = 0;
    std::vector<std::uint8_t> block(static_cast<std::size_t>(plan.length));
    if (plan.mode == 'c') {
        if (plan.reg >= 0 && device.SendByte(plan.reg) < 0) std::fprintf(stderr, "Warning - write failed\n");
        result = device.ReceiveByte();
    } else if (plan.mode == 'w') {
        result = device.ReadWordData(plan.reg);
    } else if (plan.mode == 'i') {
        result = device.ReadBlock(plan.reg, block);
    } else {
        result = device.ReadByteData(plan.reg);
    }
    if (result < 0) {
        std::fprintf(stderr, "Error: Read failed\n");
        return 2;
    }
    if (plan.mode == 'i') {
        for (int i = 0; i < result; ++i) std::printf(i + 1 < result ? "0x%02x " : "0x%02x\n", block[i]);
    } else {
        std::printf("0x%0*x\n", plan.mode == 'w' ? 4 : 2, result);
    }
    return 0;
}

int Set(Smbus& device, const I2cToolPlan& plan, const std::string& file) {
    const int digits = plan.mode == 'w' ? 4 : 2;
    long value = plan.value;
    if (!plan.yes) {
        std::fputs(kWarning, stderr);
        const bool memory = plan.address >= 0x50 && plan.address <= 0x57;
        if (memory)
            std::fputs(
                "DANGEROUS! Writing to a serial EEPROM on a memory DIMM\nmay render your memory USELESS "
                "and make your system UNBOOTABLE!\n",
                stderr);
        std::fprintf(stderr, "I will write to device file %s, chip address 0x%02x,\n", file.c_str(),
                     plan.address);
        if (plan.mode != 'c') std::fprintf(stderr, "data address 0x%02x, ", plan.reg);
        if (plan.mode == 'i') {
            std::fprintf(stderr, "data");
            for (std::uint8_t byte : plan.block) std::fprintf(stderr, " 0x%02x", byte);
            std::fprintf(stderr, ", mode i2c block.\n");
        } else {
            std::fprintf(stderr, "data 0x%02lx%s, mode %s.\n", value, plan.mask ? " (masked)" : "",
                         plan.mode == 'w' ? "word" : "byte");
        }
        if (!Continue(!memory)) return 0;
    }
    const auto readBack = [&]() {
        return plan.mode == 'c'   ? device.ReceiveByte()
               : plan.mode == 'w' ? device.ReadWordData(plan.reg)
                                  : device.ReadByteData(plan.reg);
    };
    if (plan.mask) {
        const int old = readBack();
        if (old < 0) {
            std::fprintf(stderr, "Error: Failed to read old value\n");
            return 1;
        }
        value = (value & plan.mask) | (old & ~plan.mask);
        if (!plan.yes) {
            std::fprintf(stderr, "Old value 0x%0*x, write mask 0x%0*lx, will write 0x%0*lx\n", digits, old,
                         digits, plan.mask, digits, value);
            if (!Continue(true)) return 0;
        }
    }
    if (plan.pec) return NoPec();
    const int result = plan.mode == 'c'   ? device.SendByte(static_cast<int>(value))
                       : plan.mode == 'w' ? device.WriteWordData(plan.reg, static_cast<int>(value))
                       : plan.mode == 'i' ? device.WriteData(plan.reg, plan.block)
                                          : device.WriteByteData(plan.reg, static_cast<int>(value));
    if (result < 0) {
        std::fprintf(stderr, "Error: Write failed\n");
        return 1;
    }
    if (!plan.readBack) return 0;
    const int back = readBack();
    if (back < 0)
        std::printf("Warning - readback failed\n");
    else if (back != value)
        std::printf("Warning - data mismatch - wrote 0x%0*lx, read back 0x%0*x\n", digits, value, digits,
                    back);
    else
        std::printf("Value 0x%0*lx written, readback matched\n", digits, value);
    return 0;
}

char Printable(int value) {
    if (value < 0) return 'X';
    value &= 0xFF;
    if (value == 0x00 || value == 0xFF) return '.';
    return value < 32 || value >= 127 ? '?' : static_cast<char>(value);
}

int Dump(Smbus& device, const I2cToolPlan& plan, const std::string& file) {
    const int first = plan.first, last = plan.last;
    if (plan.pec) return NoPec();
    if (!plan.yes) {
        std::fputs(kWarning, stderr);
        std::fprintf(stderr, "I will probe file %s, address 0x%x, mode %s\n", file.c_str(), plan.address,
                     plan.mode == 'i'   ? "i2c block"
                     : plan.mode == 'c' ? "byte consecutive read"
                     : plan.mode == 'b' ? "byte"
                                        : "word");
        if (plan.even) std::fprintf(stderr, "Only probing even register addresses.\n");
        if (plan.bank)
            std::fprintf(stderr, "Probing bank %d using bank register 0x%02x.\n", plan.bank,
                         plan.bankRegister);
        if (plan.rangeGiven) std::fprintf(stderr, "Probe range limited to 0x%02x-0x%02x.\n", first, last);
        if (!Continue(true)) return 0;
    }
    int oldBank = 0;
    if (plan.bank) {
        // Registers in banks, as some hardware monitors keep them: the bank's
        // number goes into the low bits of the bank register.
        oldBank = device.ReadByteData(plan.bankRegister);
        if (oldBank < 0 || device.WriteByteData(plan.bankRegister, plan.bank | (oldBank & 0xF0)) < 0) {
            std::fprintf(stderr, "Error: Bank switching failed\n");
            return 1;
        }
    }
    if (plan.mode != 'w' || plan.even) {
        int block[256] = {};
        if (plan.mode == 'i') {
            std::uint8_t bytes[256 + 32] = {};
            for (int at = first; at <= last; at += 32) {
                if (device.ReadBlock(at, {bytes + at, 32}) < 0) {
                    std::fprintf(stderr, "Error: Block read failed, return code %d\n", -1);
                    return 1;
                }
            }
            for (int i = first; i <= last; ++i) block[i] = bytes[i];
        }
        if (plan.mode == 'c' && device.SendByte(first) != 0) {
            std::fprintf(stderr, "Error: Write start address failed, return code %d\n", -1);
            return 1;
        }
        std::printf("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n");
        for (int row = first & ~15; row <= last; row += 16) {
            std::printf("%02x: ", row);
            for (int j = 0; j < 16; ++j) {
                const int reg = row + j;
                if (reg < first || reg > last) {
                    std::printf(plan.mode == 'w' ? "      " : "   ");
                    if (plan.mode == 'w') ++j;
                    continue;
                }
                if (plan.mode == 'b') block[reg] = device.ReadByteData(reg);
                if (plan.mode == 'c') block[reg] = device.ReceiveByte();
                if (plan.mode == 'w') {
                    const int word = device.ReadWordData(reg);
                    block[reg] = word < 0 ? word : word & 0xFF;
                    block[reg + 1] = word < 0 ? word : word >> 8;
                }
                if (block[reg] < 0)
                    std::printf(plan.mode == 'w' ? "XX XX " : "XX ");
                else if (plan.mode == 'w')
                    std::printf("%02x %02x ", block[reg], block[reg + 1]);
                else
                    std::printf("%02x ", block[reg]);
                if (plan.mode == 'w') ++j;
            }
            std::printf("   ");
            for (int j = 0; j < 16; ++j) {
                const int reg = row + j;
                std::putchar(reg < first || reg > last ? ' ' : Printable(block[reg]));
            }
            std::printf("\n");
        }
    } else {
        std::printf("     0,8  1,9  2,a  3,b  4,c  5,d  6,e  7,f\n");
        for (int row = first & ~7; row <= last; row += 8) {
            std::printf("%02x: ", row);
            for (int reg = row; reg < row + 8; ++reg) {
                if (reg < first || reg > last) {
                    std::printf("     ");
                    continue;
                }
                const int word = device.ReadWordData(reg);
                if (word < 0)
                    std::printf("XXXX ");
                else
                    std::printf("%04x ", word & 0xFFFF);
            }
            std::printf("\n");
        }
    }
    if (plan.bank) device.WriteByteData(plan.bankRegister, oldBank);
    return 0;
}

// i2ctransfer's listing of messages: the header (-v, and the question) and
// the bytes of the reads, or of every message.
void PrintMessages(const I2cToolPlan& plan, std::size_t count, bool header, bool writes, std::FILE* to) {
    for (std::size_t i = 0; i < count; ++i) {
        const I2cToolPlan::Message& m = plan.messages[i];
        if (header)
            std::fprintf(to, "msg %zu: addr 0x%02x, %s, len %zu", i, m.address, m.read ? "read" : "write",
                         m.bytes.size());
        if (!m.bytes.empty() && (m.read || writes)) {
            if (header) std::fprintf(to, ", buf ");
            for (std::size_t j = 0; j < m.bytes.size(); ++j)
                std::fprintf(to, j + 1 < m.bytes.size() ? "0x%02x " : "0x%02x\n", m.bytes[j]);
        } else if (header) {
            std::fprintf(to, "\n");
        }
    }
}

int Transfer(hardware::I2cMaster& i2c, I2cToolPlan plan, const std::string& file) {
    if (!plan.yes) {
        std::fputs(kWarning, stderr);
        std::fprintf(stderr, "I will send the following messages to device file %s:\n", file.c_str());
        PrintMessages(plan, plan.messages.size(), true, true, stderr);
        if (!Continue(false)) return 0;
    }
    std::vector<hardware::I2cMessage> messages;
    for (I2cToolPlan::Message& m : plan.messages)
        messages.push_back({static_cast<std::uint8_t>(m.address), m.read, m.bytes});
    const hardware::I2cCapabilities caps = i2c.Capabilities();
    // The adapter runs them as one transfer or not at all, as I2C_RDWR does.
    const bool fits = static_cast<int>(messages.size()) <= caps.maxMessages &&
                      (!caps.writeThenReadOnly || messages.size() < 2 ||
                       (messages.size() == 2 && !messages[0].read && messages[1].read));
    const hardware::I2cResult result =
        fits ? i2c.Transfer(messages) : hardware::I2cResult{hardware::I2cStatus::NotSupported};
    if (!result.Ok()) {
        // The errno i2c-dev gives for each (Documentation/i2c/fault-codes.rst).
        const int error = result.status == hardware::I2cStatus::NoAck      ? ENXIO
                          : result.status == hardware::I2cStatus::BusBusy  ? EAGAIN
                          : result.status == hardware::I2cStatus::TimedOut ? ETIMEDOUT
                          : result.status == hardware::I2cStatus::Gone     ? ENODEV
                                                                           : EOPNOTSUPP;
        std::fprintf(stderr, "Error: Sending messages failed: %s\n", std::strerror(error));
        return 1;
    }
    PrintMessages(plan, plan.messages.size(), plan.verbose, plan.verbose, stdout);
    return 0;
}

}  // namespace

int RunI2cTool(CommandContext& context, const I2cToolPlan& plan, const std::string& busName) {
    if (RequireI2c(context) != kExitOk) return 1;
    hardware::I2cMaster& i2c = *context.session.i2c;
    const unsigned long functions = Smbus::Functions(i2c.Capabilities());
    const std::string file = "/dev/i2c-" + std::to_string(plan.bus);
    const DriverHolds holds(plan.node);
    if (plan.tool == "i2cdetect") {
        if (plan.probe == 'l') {
            std::printf("i2c-%d\t%-10s\t%-32s\t%s\n", plan.bus, "i2c", busName.c_str(), "I2C adapter");
            return 0;
        }
        if (plan.probe != 'F') {
            if (!(functions & (I2C_FUNC_SMBUS_QUICK | I2C_FUNC_SMBUS_READ_BYTE))) {
                std::fprintf(stderr, "Error: Bus doesn't support detection commands\n");
                return 1;
            }
        }
        return Detect(i2c, plan, file, functions, holds);
    }
    if (plan.tool == "i2ctransfer") {
        if (!(functions & I2C_FUNC_I2C)) {
            std::fprintf(stderr, "Error: Adapter does not have I2C transfers capability\n");
            return 1;
        }
        for (const I2cToolPlan::Message& m : plan.messages) {
            if (!plan.force && !m.named.empty() && !holds.Free(m.address)) {
                std::fprintf(stderr, "Error: faulty argument is '%s'\n", m.named.c_str());
                return 1;
            }
        }
        return Transfer(i2c, plan, file);
    }
    const bool write = plan.tool == "i2cset";
    if (!ReadFunctions(functions, plan.mode, write, plan.reg >= 0)) return 1;
    if (plan.tool == "i2cdump" && plan.mode == 'c' &&
        !HasFunction(functions, I2C_FUNC_SMBUS_WRITE_BYTE, "SMBus send byte"))
        return 1;
    if (!plan.force && !holds.Free(plan.address)) return 1;
    Smbus device(i2c, plan.address);
    if (plan.tool == "i2cget") return Get(device, plan, file);
    if (write) return Set(device, plan, file);
    return Dump(device, plan, file);
}

}  // namespace cli
