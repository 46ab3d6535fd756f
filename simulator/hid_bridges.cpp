// The CP2112 and MCP2221 answering their Linux drivers; see hid_bridges.h.
// "cp2112.c" and "mcp2221.c" below are drivers/hid/hid-cp2112.c and
// drivers/hid/hid-mcp2221.c of Linux 6.1; the ids are drivers/hid/hid-ids.h.
#include "simulator/hid_bridges.h"

#include <algorithm>

namespace simulator {
namespace {

using Report = HidBridge::Report;

// A vendor-page report descriptor: one byte-array report per entry, each
// with its number (0: the device numbers none of its reports), its kind
// (0x81 input, 0x91 output, 0xB1 feature) and its bytes after the number.
struct ReportShape {
    std::uint8_t number;
    std::uint8_t kind;
    std::uint8_t bytes;
};

std::vector<std::uint8_t> VendorDescriptor(std::span<const ReportShape> reports) {
    std::vector<std::uint8_t> d = {
        0x06, 0x00, 0xFF,  // usage page: vendor defined
        0x09, 0x01,        // usage 1
        0xA1, 0x01,        // collection: application
        0x15, 0x00,        // logical minimum 0
        0x26, 0xFF, 0x00,  // logical maximum 255
        0x75, 0x08,        // report size: 8 bits
    };
    for (const ReportShape& r : reports) {
        if (r.number != 0) d.insert(d.end(), {0x85, r.number});
        d.insert(d.end(), {0x95, r.bytes, 0x09, 0x01, r.kind, 0x02});  // count, usage, data/variable
    }
    d.push_back(0xC0);  // end collection
    return d;
}

constexpr std::uint8_t kInput = 0x81;
constexpr std::uint8_t kOutput = 0x91;
constexpr std::uint8_t kFeature = 0xB1;

int BigEndian16(std::span<const std::uint8_t> r, std::size_t at) {
    return r.size() > at + 1 ? r[at] << 8 | r[at + 1] : 0;
}

// --- CP2112 -------------------------------------------------------------------
class Cp2112 final : public HidBridge {
public:
    explicit Cp2112(I2cBus& bus) : bus_(bus) {
        static constexpr ReportShape kReports[] = {
            {kGpioConfig, kFeature, 4},   {kGpioGet, kFeature, 1},       {kGpioSet, kFeature, 2},
            {kVersion, kFeature, 2},      {kSmbusConfig, kFeature, 13},  {kReadRequest, kOutput, 63},
            {kWriteRead, kOutput, 63},    {kForceSend, kOutput, 63},     {kReadResponse, kInput, 63},
            {kWriteRequest, kOutput, 63}, {kStatusRequest, kOutput, 63}, {kStatusResponse, kInput, 63},
            {kCancel, kOutput, 63},       {kLockByte, kFeature, 1},
        };
        descriptor_ = VendorDescriptor(kReports);
    }

    const char* Name() const override { return "CP2112 HID USB-to-SMBus Bridge"; }
    std::uint16_t VendorId() const override { return 0x10C4; }   // USB_VENDOR_ID_CYGNAL
    std::uint16_t ProductId() const override { return 0xEA90; }  // USB_DEVICE_ID_CYGNAL_CP2112
    std::span<const std::uint8_t> ReportDescriptor() const override { return descriptor_; }

    std::vector<Report> Output(std::span<const std::uint8_t> r, std::int64_t nowUs) override {
        if (r.empty()) return {};
        switch (r[0]) {
            case kReadRequest:  // cp2112_read_req: address << 1, length big-endian
                if (r.size() >= 4) Transfer(r[1] >> 1, {}, BigEndian16(r, 2), nowUs);
                return {};
            case kWriteRead: {  // cp2112_i2c_write_read_req: ..., target_address_length, target_address[16]
                if (r.size() < 5) return {};
                const std::size_t count = std::min<std::size_t>(r[4], r.size() - 5);
                Transfer(r[1] >> 1, r.subspan(5, count), BigEndian16(r, 2), nowUs);
                return {};
            }
            case kWriteRequest: {  // cp2112_i2c_write_req: address << 1, u8 length, data[61]
                if (r.size() < 3) return {};
                const std::size_t count = std::min<std::size_t>(r[2], r.size() - 3);
                Transfer(r[1] >> 1, r.subspan(3, count), -1, nowUs);
                return {};
            }
            case kStatusRequest: {
                // cp2112_raw_event: status0, status1, retries and length (both big-endian);
                // COMPLETE gives the length, ERROR with status1 TIMEOUT_NACK gives ETIMEDOUT.
                Report s(64, 0);
                s[0] = kStatusResponse;
                s[1] = status0_;
                s[2] = status1_;
                s[5] = static_cast<std::uint8_t>(statusLength_ >> 8);
                s[6] = static_cast<std::uint8_t>(statusLength_);
                return {s};
            }
            case kForceSend: {
                // cp2112_read asks for at most 61 bytes; cp2112_raw_event takes the count from
                // byte 2 and the data from byte 3 on.
                const std::size_t asked = static_cast<std::size_t>(BigEndian16(r, 1));
                const std::size_t count = std::min({asked, pending_.size(), std::size_t{61}});
                Report d(64, 0);
                d[0] = kReadResponse;
                d[2] = static_cast<std::uint8_t>(count);
                std::copy_n(pending_.begin(), count, d.begin() + 3);
                pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
                d[1] = pending_.empty() ? kComplete : kBusy;
                return {d};
            }
            case kCancel:
                pending_.clear();
                status0_ = kIdle;
                return {};
            default:
                return {};
        }
    }

    Report GetFeature(std::uint8_t number) override {
        switch (number) {
            case kVersion:
                // cp2112_probe keeps byte 2 as hwversion; above 1 the driver sends a write
                // then a read as one request (cp2112_i2c_xfer). Byte 1, the part number, is
                // only printed.
                return {kVersion, 0x0C, 0x02};
            case kSmbusConfig:
                return smbusConfig_;  // read, retry_time set to 1 and written back by cp2112_probe
            case kGpioConfig:
                return {kGpioConfig, 0x00, 0xFF, 0x00, 0x00};
            case kGpioGet:
                return {kGpioGet, 0x00};
            case kLockByte:
                // chmod_sysfs_attrs: a bit clear per USB setting locked, so its sysfs file
                // is read-only; the bench's bridge keeps its settings.
                return {kLockByte, 0x00};
            default:
                return {};
        }
    }

    bool SetFeature(std::span<const std::uint8_t> r) override {
        if (!r.empty() && r[0] == kSmbusConfig && r.size() == smbusConfig_.size())
            smbusConfig_.assign(r.begin(), r.end());
        return !r.empty();
    }

private:
    // Report numbers: the enum at the top of cp2112.c.
    static constexpr std::uint8_t kGpioConfig = 0x02, kGpioGet = 0x03, kGpioSet = 0x04, kVersion = 0x05,
                                  kSmbusConfig = 0x06, kReadRequest = 0x10, kWriteRead = 0x11,
                                  kForceSend = 0x12, kReadResponse = 0x13, kWriteRequest = 0x14,
                                  kStatusRequest = 0x15, kStatusResponse = 0x16, kCancel = 0x17,
                                  kLockByte = 0x20;
    // Transfer status: STATUS0_* and STATUS1_* of cp2112.c.
    static constexpr std::uint8_t kIdle = 0x00, kBusy = 0x01, kComplete = 0x02, kError = 0x03;
    static constexpr std::uint8_t kTimeoutNack = 0x00;

    // A write of `bytes` (none: a read alone), then a read of `readLength`
    // bytes after a repeated START (negative: a write alone). cp2112.c sends
    // a write of no bytes as it is (cp2112_i2c_write_req checks only the
    // upper bound); the model then sends the address alone, which the chip's
    // documentation does not settle.
    void Transfer(int address, std::span<const std::uint8_t> bytes, int readLength, std::int64_t nowUs) {
        pending_.clear();
        const auto addressByte = static_cast<std::uint8_t>(address << 1);
        bool acked = true;
        if (readLength < 0 || !bytes.empty()) {
            acked = bus_.Address(addressByte, nowUs);
            // A refused data byte is taken as a NACK too: cp2112.c names status1 0 only
            // "TIMEOUT_NACK" and has no other code for it.
            for (std::size_t i = 0; acked && i < bytes.size(); ++i) acked = bus_.Write(bytes[i], false);
        }
        if (acked && readLength >= 0) {
            acked = bus_.Address(addressByte | 1, nowUs);
            for (int i = 0; acked && i < readLength; ++i) pending_.push_back(bus_.Read());
        }
        bus_.Stop(nowUs);
        status0_ = acked ? kComplete : kError;
        status1_ = kTimeoutNack;
        statusLength_ = acked ? (readLength >= 0 ? readLength : static_cast<int>(bytes.size())) : 0;
        if (!acked) pending_.clear();
    }

    I2cBus& bus_;
    std::vector<std::uint8_t> descriptor_;
    // struct cp2112_smbus_config_report: 100 kHz, no timeouts, no retries.
    Report smbusConfig_ = {kSmbusConfig, 0x00, 0x01, 0x86, 0xA0, 0x02, 0x00,
                           0x00,         0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    std::deque<std::uint8_t> pending_;
    std::uint8_t status0_ = kIdle;
    std::uint8_t status1_ = 0;
    int statusLength_ = 0;
};

// --- MCP2221 ------------------------------------------------------------------
class Mcp2221 final : public HidBridge {
public:
    explicit Mcp2221(I2cBus& bus) : bus_(bus) {
        // One 64-byte input and one 64-byte output report, unnumbered: the
        // command code is byte 0 of both (mcp2221.c, mcp2221_raw_event).
        static constexpr ReportShape kReports[] = {{0, kInput, 64}, {0, kOutput, 64}};
        descriptor_ = VendorDescriptor(kReports);
    }

    const char* Name() const override { return "MCP2221 USB-I2C/UART Combo"; }
    std::uint16_t VendorId() const override { return 0x04D8; }   // USB_VENDOR_ID_MICROCHIP
    std::uint16_t ProductId() const override { return 0x00DD; }  // USB_DEVICE_ID_MCP2221
    std::span<const std::uint8_t> ReportDescriptor() const override { return descriptor_; }

    std::vector<Report> Output(std::span<const std::uint8_t> r, std::int64_t nowUs) override {
        if (r.empty()) return {};
        Report a(64, 0);
        a[0] = r[0];  // every answer repeats the command; byte 1 0x00 is MCP2221_SUCCESS
        switch (r[0]) {
            case kWrite:
            case kWriteNoStop:
                if (r.size() >= 4) Write(r, nowUs);
                break;
            case kRead:
            case kReadRepeatedStart:
                if (r.size() >= 4) Read(r, nowUs);
                break;
            case kGetData: {
                // mcp2221_raw_event: byte 2 MCP2221_I2C_ADDR_NACK is ENXIO; READ_COMPL with
                // byte 3 the count (at most 60) and the data from byte 4; state 0 with no
                // bytes is a read of none.
                const std::size_t count = std::min<std::size_t>(pending_.size(), 60);
                a[2] = nack_ ? kAddressNack : count == 0 ? kSuccess : kReadComplete;
                a[3] = static_cast<std::uint8_t>(nack_ ? 0 : count);
                std::copy_n(pending_.begin(), nack_ ? 0 : count, a.begin() + 4);
                if (!nack_)
                    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
                break;
            }
            case kStatus:
                // Byte 2 MCP2221_I2C_CANCEL frees the bus; byte 3 MCP2221_I2C_SET_SPEED must
                // come back in byte 3 (mcp_set_i2c_speed, mcp2221_raw_event). The engine's
                // state is byte 8, and bit 6 of byte 20 (MCP2221_I2C_MASK_ADDR_NACK) an
                // address that was not acknowledged (mcp_chk_last_cmd_status).
                if (r.size() > 2 && r[2] == kCancel) {
                    bus_.Stop(nowUs);
                    nack_ = false;
                    pending_.clear();
                    writing_ = false;
                }
                if (r.size() > 3 && r[3] == kSetSpeed) a[3] = kSetSpeed;
                a[8] = nack_ ? kAddressNack : kSuccess;
                a[20] = nack_ ? kMaskAddressNack : 0;
                break;
            default:  // the GPIO reports: every pin reads as an input at 0
                break;
        }
        return {a};
    }

    Report GetFeature(std::uint8_t) override { return {}; }
    bool SetFeature(std::span<const std::uint8_t>) override { return false; }

private:
    // Command and answer codes: the enums at the top of mcp2221.c.
    static constexpr std::uint8_t kWrite = 0x90, kWriteNoStop = 0x94, kRead = 0x91, kReadRepeatedStart = 0x93,
                                  kGetData = 0x40, kStatus = 0x10, kSetSpeed = 0x20, kCancel = 0x10;
    static constexpr std::uint8_t kSuccess = 0x00, kAddressNack = 0x25, kReadComplete = 0x55,
                                  kMaskAddressNack = 0x40;

    // mcp_i2c_write: every report repeats the whole length (16 bits, low byte
    // first) and the address << 1, then carries up to 60 of the bytes; the
    // transfer runs once all have come.
    void Write(std::span<const std::uint8_t> r, std::int64_t nowUs) {
        const int length = r[1] | r[2] << 8;
        if (!writing_) {
            writing_ = true;
            nack_ = false;
            bytes_.clear();
        }
        const std::size_t take =
            std::min<std::size_t>(r.size() - 4, static_cast<std::size_t>(length) - bytes_.size());
        bytes_.insert(bytes_.end(), r.begin() + 4, r.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        if (static_cast<int>(bytes_.size()) < length) return;
        writing_ = false;
        bool acked = bus_.Address(static_cast<std::uint8_t>(r[3] & 0xFE), nowUs);
        // A refused data byte is reported as the address's NACK (ENXIO): the
        // driver has no code of its own for it, and which engine state the
        // chip gives is not in mcp2221.c.
        for (std::size_t i = 0; acked && i < bytes_.size(); ++i) acked = bus_.Write(bytes_[i], false);
        nack_ = !acked;
        // MCP2221_I2C_WR_NO_STOP leaves the bus to the read's repeated START.
        if (r[0] == kWrite || nack_) bus_.Stop(nowUs);
    }

    void Read(std::span<const std::uint8_t> r, std::int64_t nowUs) {
        const int length = r[1] | r[2] << 8;
        pending_.clear();
        writing_ = false;
        // A repeated START after a write whose address was refused finds nobody.
        if (r[0] == kRead) nack_ = false;
        if (!nack_) {
            nack_ = !bus_.Address(static_cast<std::uint8_t>(r[3] | 1), nowUs);
            for (int i = 0; !nack_ && i < length; ++i) pending_.push_back(bus_.Read());
        }
        bus_.Stop(nowUs);
    }

    I2cBus& bus_;
    std::vector<std::uint8_t> descriptor_;
    bool writing_ = false;
    bool nack_ = false;
    std::vector<std::uint8_t> bytes_;
    std::deque<std::uint8_t> pending_;
};

}  // namespace

std::unique_ptr<HidBridge> MakeHidBridge(const std::string& kind, I2cBus& bus) {
    if (kind == "cp2112") return std::make_unique<Cp2112>(bus);
    if (kind == "mcp2221") return std::make_unique<Mcp2221>(bus);
    return nullptr;
}

}  // namespace simulator
