// merlix-cli's register commands: set, get, dump and transfer, for devices
// at 7-bit addresses as the i2c-tools take them.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "console/send_sequence.h"
#include "eeprom/fast_chip_transfers.h"
#include "hardware/port_adapter.h"

namespace cli {

namespace {

// The longest message a transfer takes where the adapter sets no limit of
// its own: what the 16-bit length of an I2C message can say.
constexpr long kLongestMessage = 0xFFFF;

// A number as strtol reads it with base 0, as the i2c-tools do: 0x... is
// hexadecimal, a leading 0 octal, anything else decimal. `rest` receives
// what follows the digits; without it, nothing may follow.
bool ParseBase0(const std::string& text, long low, long high, long& value, std::string* rest = nullptr) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || text[0] == '+' || text[0] == '-')
        return false;
    char* end = nullptr;
    errno = 0;
    const long result = std::strtol(text.c_str(), &end, 0);
    if (end == text.c_str() || errno == ERANGE || result < low || result > high) return false;
    if (rest) {
        *rest = end;
    } else if (*end) {
        return false;
    }
    value = result;
    return true;
}

int ParseDevice(const std::string& text, long& address) {
    if (ParseBase0(text, 0x03, 0x77, address)) return kExitOk;
    return Fail(kExitUsage,
                "a device address is 7-bit, 0x03..0x77 (0x20 is write address 40), not '" + text + "'");
}

int ParseByte(const std::string& text, const char* what, long& value) {
    if (ParseBase0(text, 0, 255, value)) return kExitOk;
    return Fail(kExitUsage, std::string(what) + " is a byte, 0..255 or 0x00..0xff, not '" + text + "'");
}

// get's and set's MODE: false for bytes, true for words.
int ParseMode(const std::string& text, bool& word) {
    word = text == "w";
    if (text.empty() || text == "b" || word) return kExitOk;
    return Fail(kExitUsage, "MODE is b (byte) or w (word), not '" + text + "'");
}

int ParseValue(const std::string& text, const char* what, bool word, long& value) {
    if (!word) return ParseByte(text, what, value);
    if (ParseBase0(text, 0, 0xFFFF, value)) return kExitOk;
    return Fail(kExitUsage, std::string(what) + " is a word, 0..65535 or 0x0000..0xffff, not '" + text + "'");
}

std::string BusError(const hardware::I2cMaster& i2c, long address, const hardware::I2cResult& result) {
    char text[120];
    // The adapter's own failure is never the device's.
    if (result.status == hardware::I2cStatus::TimedOut || result.status == hardware::I2cStatus::Gone)
        return eeprom::AdapterFailureText(i2c, result.status);
    if (result.status == hardware::I2cStatus::BusBusy)
        std::snprintf(text, sizeof text,
                      "the bus stayed busy (another master?); nothing was sent to device 0x%02lx", address);
    else
        std::snprintf(text, sizeof text, "device 0x%02lx did not answer (no acknowledge or a time-out)",
                      address);
    return text;
}

// A register read as SMBus reads it: the register number written, a
// repeated START, then one byte or a word (low byte first).
hardware::I2cResult ReadRegister(hardware::I2cMaster& i2c, long address, std::uint8_t reg, bool word,
                                 long& value) {
    const auto device = static_cast<std::uint8_t>(address);
    std::uint8_t bytes[2] = {};
    const hardware::I2cMessage messages[] = {{device, false, {&reg, 1}},
                                             {device, true, {bytes, word ? 2u : 1u}}};
    const hardware::I2cResult result = i2c.Transfer(messages);
    value = bytes[0] | (word ? bytes[1] << 8 : 0);
    return result;
}

// The next data byte after `data` for i2ctransfer's suffixes: = the same,
// + and - one up or down (wrapping at a byte), p a pseudo-random sequence
// (8-bit add-xor-rotate: xor 27, add 13, rotate left by one).
std::uint8_t NextDataByte(std::uint8_t data, char suffix) {
    switch (suffix) {
        case '+':
            return static_cast<std::uint8_t>(data + 1);
        case '-':
            return static_cast<std::uint8_t>(data - 1);
        case 'p': {
            const auto mixed = static_cast<std::uint8_t>((data ^ 27) + 13);
            return static_cast<std::uint8_t>(mixed << 1 | mixed >> 7);
        }
        default:
            return data;
    }
}

char RegisterChar(long value) {
    if (value == 0x00 || value == 0xFF) return '.';
    return value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '?';
}

// Why the adapter cannot run `transfer` as one transaction, or empty: a
// transfer is never split into several with STOPs between.
std::string OneTransactionLimit(const hardware::I2cCapabilities& caps,
                                std::span<const hardware::I2cMessage> transfer) {
    const std::size_t count = transfer.size();
    const bool writeThenRead = count == 2 && !transfer[0].read && transfer[1].read;
    std::string takes;
    if (caps.writeThenReadOnly && count > 1 && !writeThenRead) {
        takes = caps.maxMessages >= 2 ? "one message, or a write then a read," : "one message";
    } else if (count > static_cast<std::size_t>(caps.maxMessages)) {
        takes = "at most " + std::to_string(caps.maxMessages) + " messages";
    } else if (caps.restartBeforeReadOnly) {
        for (std::size_t k = 1; k < count && takes.empty(); ++k)
            if (!transfer[k].read)
                takes = "a repeated START only before a read, so no write after the first,";
    }
    if (takes.empty()) return {};
    return "this adapter takes " + takes + " in one transaction; the transfer's " + std::to_string(count) +
           " messages would be split by STOPs, so nothing was sent";
}

}  // namespace

int RunSet(CommandContext& context, const RegisterOptions& options) {
    long dev = 0, r = 0, v = 0, mask = 0;
    bool word = false;
    if (int code = ParseDevice(options.address, dev)) return code;
    if (int code = ParseByte(options.reg, "the register", r)) return code;
    if (int code = ParseMode(options.mode, word)) return code;
    if (int code = ParseValue(options.value, "the value", word, v)) return code;
    if ((options.maskGiven || !options.mask.empty()) &&
        !ParseBase0(options.mask, 1, word ? 0xFFFF : 0xFF, mask))
        return Fail(kExitUsage, "--mask takes the bits to change, 1.." +
                                    std::string(word ? "0xffff" : "0xff") + ", not '" + options.mask + "'");
    if (const int code = RequireI2c(context)) return code;
    hardware::I2cMaster& i2c = *context.session.i2c;
    const auto reg = static_cast<std::uint8_t>(r);
    context.result.Int("device", dev).Int("register", r);
    if (mask) {
        long old = 0;
        const hardware::I2cResult read = ReadRegister(i2c, dev, reg, word, old);
        if (!read.Ok()) return Fail(kExitFailed, BusError(i2c, dev, read));
        v = (v & mask) | (old & ~mask);
    }
    context.result.Int("value", v);
    std::uint8_t bytes[] = {reg, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    const hardware::I2cMessage message{static_cast<std::uint8_t>(dev), false, {bytes, word ? 3u : 2u}};
    const hardware::I2cResult result = i2c.Transfer({&message, 1});
    i2c.SleepMs(console::kSettleMs);  // for the device to take the value
    if (!result.Ok()) return Fail(kExitFailed, BusError(*context.session.i2c, dev, result));
    if (!options.readBack) return kExitOk;
    long back = 0;
    const hardware::I2cResult read = ReadRegister(i2c, dev, reg, word, back);
    if (!read.Ok())
        return Fail(kExitFailed,
                    "the value was written, but the read-back failed: " + BusError(i2c, dev, read));
    context.result.Int("read_back", back);
    const int digits = word ? 4 : 2;
    if (back != v) {
        char text[120];
        std::snprintf(text, sizeof text, "register 0x%02lx reads back 0x%0*lx after 0x%0*lx was written", r,
                      digits, back, digits, v);
        return Fail(kExitFailed, text);
    }
    if (!context.json) std::printf("Value 0x%0*lx written, readback matched\n", digits, v);
    return kExitOk;
}

int RunGet(CommandContext& context, const RegisterOptions& options) {
    long dev = 0, r = 0;
    bool word = false;
    if (int code = ParseDevice(options.address, dev)) return code;
    // Without a register: a receive byte, from where the device's own pointer is.
    const bool receive = options.reg.empty();
    if (!receive)
        if (int code = ParseByte(options.reg, "the register", r)) return code;
    if (int code = ParseMode(options.mode, word)) return code;
    if (const int code = RequireI2c(context)) return code;
    long value = 0;
    std::uint8_t byte = 0;
    const hardware::I2cMessage message{static_cast<std::uint8_t>(dev), true, {&byte, 1}};
    const hardware::I2cResult result =
        receive ? context.session.i2c->Transfer({&message, 1})
                : ReadRegister(*context.session.i2c, dev, static_cast<std::uint8_t>(r), word, value);
    if (receive) value = byte;
    context.result.Int("device", dev);
    if (receive)
        context.result.Null("register");
    else
        context.result.Int("register", r);
    if (!result.Ok()) return Fail(kExitFailed, BusError(*context.session.i2c, dev, result));
    context.result.Int("value", value);
    if (!context.json) std::printf("0x%0*lx\n", word ? 4 : 2, value);
    return kExitOk;
}

int RunDump(CommandContext& context, const RegisterOptions& options) {
    long dev = 0, first = 0, last = 0xFF;
    if (int code = ParseDevice(options.address, dev)) return code;
    if (!options.range.empty()) {
        const std::size_t dash = options.range.find('-', 1);
        if (dash == std::string::npos || !ParseBase0(options.range.substr(0, dash), 0, 0xFF, first) ||
            !ParseBase0(options.range.substr(dash + 1), first, 0xFF, last))
            return Fail(kExitUsage, "--range is FIRST-LAST, two registers 0..0xff with FIRST <= LAST, not '" +
                                        options.range + "'");
    }
    if (const int code = RequireI2c(context)) return code;
    // Under --json the registers go into the object, null where one was not read.
    const bool table = !context.json;
    std::vector<int> values(256, -1);  // -1: not read
    if (table) std::printf("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n");
    int answered = 0;
    hardware::I2cResult failure{hardware::I2cStatus::NoAck};
    eeprom::AdapterWatch watch;
    bool adapterFailed = false;
    // Rows start at multiples of 16; registers outside the range stay blank.
    for (long row = first & ~0xFL; row <= last; row += 16) {
        std::string ascii;
        if (table) std::printf("%02lx: ", row);
        for (long reg = row; reg < row + 16; ++reg) {
            long value = 0;
            if (reg < first || reg > last) {
                if (table) std::printf("   ");
                ascii += ' ';
                continue;
            }
            // A bus held by another master fails every read alike: one
            // refusal ends the dump, as does an adapter that stopped answering.
            if (failure.status != hardware::I2cStatus::BusBusy && !adapterFailed) {
                const hardware::I2cResult result =
                    ReadRegister(*context.session.i2c, dev, static_cast<std::uint8_t>(reg), false, value);
                adapterFailed = watch.Ends(result);
                if (result.Ok()) {
                    ++answered;
                    values[static_cast<std::size_t>(reg)] = static_cast<int>(value);
                    if (table) std::printf("%02lx ", value);
                    ascii += RegisterChar(value);
                    continue;
                }
                failure = result;
            }
            if (table) std::printf("XX ");
            ascii += 'X';
        }
        if (table) std::printf("   %s\n", ascii.c_str());
    }
    JsonArray registers;
    for (int value : values) {
        if (value < 0)
            registers.Null();
        else
            registers.Int(value);
    }
    context.result.Int("device", dev).Json("registers", registers.Text());
    if (answered && failure.status != hardware::I2cStatus::BusBusy && !adapterFailed) return kExitOk;
    return Fail(kExitFailed, BusError(*context.session.i2c, dev, failure));
}

int RunTransfer(CommandContext& context, const std::vector<std::string>& messages) {
    struct Message {
        bool read = false;
        long address = 0;
        std::vector<std::uint8_t> bytes;  // write data, or room for the read
    };
    // (Without an I2C master RequireI2c refuses the command below.)
    const long longest =
        context.session.i2c
            ? std::min<long>(kLongestMessage, context.session.i2c->Capabilities().maxMessageBytes)
            : kLongestMessage;
    std::vector<Message> plan;
    long lastAddress = -1;
    for (std::size_t i = 0; i < messages.size();) {
        const std::string& text = messages[i++];
        const std::size_t at = text.find('@');
        Message m;
        long length = 0;
        if (text.empty() || (text[0] != 'r' && text[0] != 'w') ||
            !ParseBase0(text.substr(1, at == std::string::npos ? std::string::npos : at - 1), 1, LONG_MAX,
                        length))
            return Fail(kExitUsage,
                        "'" + text + "' is not a message: rLENGTH[@ADDR] or wLENGTH[@ADDR] and the bytes");
        if (length > longest)
            return Fail(kExitUsage, "'" + text + "' is too long: a message on this adapter is at most " +
                                        std::to_string(longest) + " bytes");
        m.read = text[0] == 'r';
        if (at != std::string::npos) {
            if (int code = ParseDevice(text.substr(at + 1), m.address)) return code;
            lastAddress = m.address;
        } else if (lastAddress < 0) {
            return Fail(kExitUsage, "the first message needs its address: " + text + "@0x50");
        }
        m.address = lastAddress;
        if (m.read) {
            m.bytes.resize(static_cast<std::size_t>(length));
        }
        // A data byte may end in a suffix that fills the rest of the message.
        while (!m.read && static_cast<long>(m.bytes.size()) < length) {
            if (i >= messages.size())
                return Fail(kExitUsage, text + " needs " + std::to_string(length) + " data bytes");
            const std::string& data = messages[i++];
            long value = 0;
            std::string suffix;
            if (!ParseBase0(data, 0, 255, value, &suffix) ||
                (!suffix.empty() && (suffix.size() > 1 || suffix.find_first_of("=+-p") != 0)))
                return Fail(kExitUsage, "a data byte is 0..255 or 0x00..0xff, with = + - or p after the last "
                                        "to fill the message, not '" +
                                            data + "'");
            auto byte = static_cast<std::uint8_t>(value);
            m.bytes.push_back(byte);
            while (!suffix.empty() && static_cast<long>(m.bytes.size()) < length) {
                byte = NextDataByte(byte, suffix[0]);
                m.bytes.push_back(byte);
            }
        }
        plan.push_back(std::move(m));
    }
    if (plan.empty())
        return Fail(kExitUsage, "transfer needs at least one message, such as w1@0x50 0x00 r16");
    if (const int code = RequireI2c(context)) return code;
    std::vector<hardware::I2cMessage> transfer;
    for (Message& m : plan) transfer.push_back({static_cast<std::uint8_t>(m.address), m.read, m.bytes});
    hardware::I2cMaster& i2c = *context.session.i2c;
    if (std::string limit = OneTransactionLimit(i2c.Capabilities(), transfer); !limit.empty())
        return Fail(kExitFailed, limit);
    const hardware::I2cResult result = i2c.TransferAsOne(transfer);
    // A bridge says what it takes by refusing the first shape it does not.
    if (result.status == hardware::I2cStatus::NotSupported) {
        if (std::string limit = OneTransactionLimit(i2c.Capabilities(), transfer); !limit.empty())
            return Fail(kExitFailed, limit);
    }
    // What was read before a failure is shown, as each message was printed once it was done.
    const std::size_t done =
        result.Ok() ? plan.size() : static_cast<std::size_t>(std::max(result.message, 0));
    JsonArray reads;  // one array of bytes per read message
    for (std::size_t k = 0; k < done; ++k) {
        if (!plan[k].read) continue;
        JsonArray bytes;
        for (std::size_t b = 0; b < plan[k].bytes.size(); ++b) {
            bytes.Int(plan[k].bytes[b]);
            if (!context.json) std::printf(b ? " 0x%02x" : "0x%02x", plan[k].bytes[b]);
        }
        reads.Json(bytes.Text());
        if (!context.json) std::printf("\n");
    }
    context.result.Json("reads", reads.Text());
    if (!result.Ok()) return Fail(kExitFailed, BusError(i2c, plan[done].address, result));
    return kExitOk;
}

}  // namespace cli
