// The bench's USB devices for USB/IP; see usb_bench_devices.h.
#include "simulator/usb_bench_devices.h"

#include <linux/i2c.h>

#include <algorithm>
#include <cstdio>

namespace simulator {
namespace {

void Put16(std::vector<std::uint8_t>& d, unsigned v) {
    d.push_back(static_cast<std::uint8_t>(v & 0xFF));
    d.push_back(static_cast<std::uint8_t>(v >> 8 & 0xFF));
}

// USB 2.0 9.6.1: a full-speed device of the vendor-specific class with one
// configuration, strings 1 (maker) and 2 (product).
std::vector<std::uint8_t> Device(std::uint16_t vendor, std::uint16_t product, std::uint16_t release,
                                 std::uint8_t maxPacket0) {
    std::vector<std::uint8_t> d{18, 0x01};
    Put16(d, 0x0110);
    d.insert(d.end(), {0xFF, 0x00, 0x00, maxPacket0});
    Put16(d, vendor);
    Put16(d, product);
    Put16(d, release);
    d.insert(d.end(), {1, 2, 0, 1});
    return d;
}

struct Endpoint {
    std::uint8_t address;
    std::uint8_t attributes;  // 2 bulk, 3 interrupt
    std::uint16_t maxPacket;
    std::uint8_t interval;
};

// USB 2.0 9.6.3, 9.6.5, 9.6.6: configuration 1, bus-powered (100 mA), one
// vendor-specific interface with `endpoints`.
std::vector<std::uint8_t> Configuration(const std::vector<Endpoint>& endpoints) {
    std::vector<std::uint8_t> d{9, 0x02};
    Put16(d, static_cast<unsigned>(9 + 9 + 7 * endpoints.size()));
    d.insert(d.end(), {1, 1, 0, 0x80, 50});
    d.insert(d.end(), {9, 0x04, 0, 0, static_cast<std::uint8_t>(endpoints.size()), 0xFF, 0x00, 0x00, 0});
    for (const Endpoint& e : endpoints) {
        d.insert(d.end(), {7, 0x05, e.address, e.attributes});
        Put16(d, e.maxPacket);
        d.push_back(e.interval);
    }
    return d;
}

// drivers/i2c/busses/i2c-tiny-usb.c: the commands (CMD_ECHO, CMD_GET_FUNC,
// CMD_SET_DELAY, CMD_GET_STATUS, CMD_I2C_IO with CMD_I2C_IO_BEGIN on a
// transfer's first message and CMD_I2C_IO_END on its last), sent as vendor
// requests to the interface (USB_TYPE_VENDOR | USB_RECIP_INTERFACE), IN for
// the answers and a read message's data; usb_xfer puts the message's flags
// in wValue and its address in wIndex, asks CMD_GET_STATUS (one byte) after
// each message, and takes STATUS_ADDRESS_NAK as ENXIO; usb_func takes the
// functionality as a little-endian 32-bit word. The ids are the first of
// i2c_tiny_usb_table; the delay is the driver's bit delay (its `delay`
// parameter, 10 us "-> 100kHz max").
constexpr std::uint16_t kTinyVendor = 0x0403;
constexpr std::uint16_t kTinyProduct = 0xc631;
constexpr std::uint8_t kCmdEcho = 0;
constexpr std::uint8_t kCmdGetFunc = 1;
constexpr std::uint8_t kCmdSetDelay = 2;
constexpr std::uint8_t kCmdGetStatus = 3;
constexpr std::uint8_t kCmdI2cIo = 4;
constexpr std::uint8_t kIoBegin = 1 << 0;
constexpr std::uint8_t kIoEnd = 1 << 1;
constexpr std::uint8_t kStatusAddressAck = 1;
constexpr std::uint8_t kStatusAddressNak = 2;
// What this device offers: plain I2C, and the SMBus calls the i2c core
// emulates on it (i2c-core-smbus.c, i2c_smbus_xfer_emulated). No 10-bit
// addresses and no protocol mangling.
constexpr std::uint32_t kTinyFunctions = I2C_FUNC_I2C | I2C_FUNC_SMBUS_EMUL;

}  // namespace

std::vector<std::uint8_t> TinyUsbFunction::DeviceDescriptor() const {
    return Device(kTinyVendor, kTinyProduct, 0x0100, 64);
}

std::vector<std::uint8_t> TinyUsbFunction::ConfigDescriptor() const { return Configuration({}); }

std::vector<std::string> TinyUsbFunction::Strings() const { return {"Merlix bench", "i2c-tiny-usb"}; }

bool TinyUsbFunction::Control(const UsbSetup& setup, std::vector<std::uint8_t>& data) {
    if ((setup.requestType & 0x60) != 0x40) return false;  // vendor requests only
    switch (setup.request) {
        case kCmdEcho:
            if (!setup.In()) return false;
            data.clear();
            Put16(data, setup.value);
            return true;
        case kCmdGetFunc:
            if (!setup.In()) return false;
            data.clear();
            Put16(data, kTinyFunctions & 0xFFFF);
            Put16(data, kTinyFunctions >> 16);
            return true;
        case kCmdSetDelay:
            delayUs_ = std::max<int>(1, setup.value);
            return !setup.In();
        case kCmdGetStatus:
            if (!setup.In()) return false;
            data.assign(1, status_);
            return true;
        default:
            if ((setup.request & ~(kIoBegin | kIoEnd)) != kCmdI2cIo) return false;
            return Message(setup, data);
    }
}

bool TinyUsbFunction::Message(const UsbSetup& setup, std::vector<std::uint8_t>& data) {
    const unsigned flags = setup.value;
    const bool read = (flags & I2C_M_RD) != 0;
    if (read != setup.In() || (flags & I2C_M_TEN) != 0 || setup.index > 0x7F) return false;
    I2cBus& bus = bench_.Bus();
    bus.sclHz = 1'000'000 / delayUs_;
    const std::int64_t now = bench_.NowUs();
    const auto addressByte = static_cast<std::uint8_t>(setup.index << 1 | (read ? 1 : 0));
    const bool start = (setup.request & kIoBegin) != 0 || (flags & I2C_M_NOSTART) == 0;
    if (start && !bus.Address(addressByte, now)) {
        // The data stage still completes (a read's bytes are the released
        // line's ones), so that the driver goes on to ask for the status.
        status_ = kStatusAddressNak;
        I2cMemory* part = bench_.I2cPart();
        const bool busy = part != nullptr && part->Answers(addressByte) && part->Busy(now);
        char line[80];
        std::snprintf(line, sizeof line, "address 0x%02x not acknowledged (%s)", setup.index,
                      busy ? "write cycle" : "no device");
        note_(line);
        bus.Stop(now);
        if (read) data.assign(setup.length, 0xFF);
        return true;
    }
    status_ = kStatusAddressAck;
    if (read) {
        data.resize(setup.length);
        for (std::uint8_t& byte : data) byte = bus.Read();
    } else {
        // A refused data byte ends the message; the driver has no status for it.
        for (const std::uint8_t byte : data) {
            if (!bus.Write(byte, false)) break;
        }
    }
    if ((setup.request & kIoEnd) != 0) bus.Stop(bench_.NowUs());
    return true;
}

std::vector<std::uint8_t> Ch341aFunction::DeviceDescriptor() const {
    return Device(Ch341aChip::kVendor, Ch341aChip::kProduct, 0x0304, 8);
}

std::vector<std::uint8_t> Ch341aFunction::ConfigDescriptor() const {
    // flashrom's ch341a_spi.c: mCH341_ENDP_DATA_UP 0x82, mCH341_ENDP_DATA_DOWN
    // 0x02, mCH341_ENDP_INTER_UP 0x81; the bulk packets CH341_PACKET_LENGTH.
    const auto packet = static_cast<std::uint16_t>(Ch341aChip::kPacketBytes);
    return Configuration(
        {{Ch341aChip::kEndpointIn, 2, packet, 0}, {Ch341aChip::kEndpointOut, 2, packet, 0}, {0x81, 3, 8, 1}});
}

std::vector<std::string> Ch341aFunction::Strings() const { return {"Merlix bench", "CH341A"}; }

bool Ch341aFunction::Control(const UsbSetup& /*setup*/, std::vector<std::uint8_t>& /*data*/) {
    return false;  // the CH341A's vendor requests are not modelled
}

bool Ch341aFunction::BulkOut(std::uint8_t endpoint, std::span<const std::uint8_t> data) {
    if (endpoint != Ch341aChip::kEndpointOut || data.size() > Ch341aChip::kMaxBulkOutBytes) return false;
    chip_.Out(data);
    return true;
}

bool Ch341aFunction::BulkIn(std::uint8_t endpoint, std::size_t length, std::vector<std::uint8_t>& data) {
    if (endpoint != Ch341aChip::kEndpointIn || !chip_.HasAnswers()) return false;
    data.resize(length);
    data.resize(chip_.In(data));
    return true;
}

}  // namespace simulator
