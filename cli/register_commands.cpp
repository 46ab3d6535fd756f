// merlix-cli's register commands: set, get, dump and transfer, for devices
// at 7-bit addresses as the i2c-tools take them.
#include <algorithm>
#include <cstdio>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "console/send_sequence.h"
#include "hardware/port_adapter.h"

namespace cli {

namespace {

int ParseDevice(const std::string& text, long& address) {
    if (ParseNumber(text, 0x03, 0x77, address)) return kExitOk;
    return Fail(kExitUsage,
                "a device address is 7-bit, 0x03..0x77 (0x20 is write address 40), not '" + text + "'");
}

int ParseByte(const std::string& text, const char* what, long& value) {
    if (ParseNumber(text, 0, 255, value)) return kExitOk;
    return Fail(kExitUsage, std::string(what) + " is a byte, 0..255 or 0x00..0xFF, not '" + text + "'");
}

std::string BusError(long address, const hardware::I2cResult& result) {
    char text[120];
    std::snprintf(text, sizeof text, "device 0x%02lx did not answer (%s)", address,
                  result.status == hardware::I2cStatus::BusBusy ? "the bus stayed busy"
                                                                : "no acknowledge or a time-out");
    return text;
}

// A register read: the register number written, then one byte read.
hardware::I2cResult ReadRegister(hardware::I2cMaster& i2c, long address, std::uint8_t reg,
                                 std::uint8_t& value) {
    const auto device = static_cast<std::uint8_t>(address);
    const hardware::I2cMessage messages[] = {{device, false, {&reg, 1}}, {device, true, {&value, 1}}};
    return i2c.Transfer(messages);
}

}  // namespace

int RunSet(CommandContext& context, const std::string& address, const std::string& reg,
           const std::string& value) {
    long dev = 0, r = 0, v = 0;
    if (int code = ParseDevice(address, dev)) return code;
    if (int code = ParseByte(reg, "the register", r)) return code;
    if (int code = ParseByte(value, "the value", v)) return code;
    if (!FindAdapter(context)) return NoAdapter();
    const hardware::I2cResult result = console::WriteRegister(
        context.session.adapter, static_cast<std::uint8_t>(dev << 1), static_cast<std::uint8_t>(r),
        static_cast<std::uint8_t>(v), [] { Say("the bus is busy (another master?); writing anyway"); });
    context.result.Int("device", dev).Int("register", r).Int("value", v);
    return result.Ok() ? kExitOk : Fail(kExitFailed, BusError(dev, result));
}

int RunGet(CommandContext& context, const std::string& address, const std::string& reg) {
    long dev = 0, r = 0;
    if (int code = ParseDevice(address, dev)) return code;
    if (int code = ParseByte(reg, "the register", r)) return code;
    if (!FindAdapter(context)) return NoAdapter();
    std::uint8_t value = 0;
    const hardware::I2cResult result =
        ReadRegister(context.session.adapter, dev, static_cast<std::uint8_t>(r), value);
    context.result.Int("device", dev).Int("register", r);
    if (!result.Ok()) return Fail(kExitFailed, BusError(dev, result));
    context.result.Int("value", value);
    if (!context.json) std::printf("0x%02x\n", value);
    return kExitOk;
}

int RunDump(CommandContext& context, const std::string& address) {
    long dev = 0;
    if (int code = ParseDevice(address, dev)) return code;
    if (!FindAdapter(context)) return NoAdapter();
    // Under --json the registers go into the object, null where one was not read.
    const bool table = !context.json;
    JsonArray registers;
    if (table) std::printf("     0  1  2  3  4  5  6  7  8  9  a  b  c  d  e  f    0123456789abcdef\n");
    int answered = 0;
    for (int row = 0; row < 256; row += 16) {
        std::string ascii;
        if (table) std::printf("%02x: ", row);
        for (int reg = row; reg < row + 16; ++reg) {
            std::uint8_t value = 0;
            if (!ReadRegister(context.session.adapter, dev, static_cast<std::uint8_t>(reg), value).Ok()) {
                registers.Null();
                if (table) std::printf("XX ");
                ascii += 'X';
                continue;
            }
            ++answered;
            registers.Int(value);
            if (table) std::printf("%02x ", value);
            ascii += value >= 0x20 && value < 0x7F ? static_cast<char>(value) : '.';
        }
        if (table) std::printf("   %s\n", ascii.c_str());
    }
    context.result.Int("device", dev).Json("registers", registers.Text());
    return answered ? kExitOk : Fail(kExitFailed, BusError(dev, {hardware::I2cStatus::NoAck}));
}

int RunTransfer(CommandContext& context, const std::vector<std::string>& messages) {
    struct Message {
        bool read = false;
        long address = 0;
        std::vector<std::uint8_t> bytes;  // write data, or room for the read
    };
    std::vector<Message> plan;
    long lastAddress = -1;
    for (std::size_t i = 0; i < messages.size();) {
        const std::string& text = messages[i++];
        const std::size_t at = text.find('@');
        Message m;
        long length = 0;
        if (text.empty() || (text[0] != 'r' && text[0] != 'w') ||
            !ParseNumber(text.substr(1, at == std::string::npos ? std::string::npos : at - 1), 1, 256,
                         length))
            return Fail(kExitUsage,
                        "'" + text + "' is not a message: rLENGTH[@ADDR] or wLENGTH[@ADDR] and the bytes");
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
        } else {
            for (long k = 0; k < length; ++k, ++i) {
                long value = 0;
                if (i >= messages.size())
                    return Fail(kExitUsage, text + " needs " + std::to_string(length) + " data bytes");
                if (int code = ParseByte(messages[i], "a data byte", value)) return code;
                m.bytes.push_back(static_cast<std::uint8_t>(value));
            }
        }
        plan.push_back(std::move(m));
    }
    if (plan.empty())
        return Fail(kExitUsage, "transfer needs at least one message, such as w1@0x50 0x00 r16");
    if (!FindAdapter(context)) return NoAdapter();
    std::vector<hardware::I2cMessage> transfer;
    for (Message& m : plan) transfer.push_back({static_cast<std::uint8_t>(m.address), m.read, m.bytes});
    const hardware::I2cResult result = context.session.adapter.Transfer(transfer);
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
    if (!result.Ok()) return Fail(kExitFailed, BusError(plan[done].address, result));
    return kExitOk;
}

}  // namespace cli
