// The classic I2C page loops (one byte per transaction): bytes in and out, marks, retries after a port and
// controller reset, the give-up message and the pause after every attempt.
// The controller is a small fake that answers the driver's S0/S1 sequences
// and can be told to fail a number of attempts from a given byte on.
#include <gtest/gtest.h>

#include <array>

#include "eeprom/chip_progress.h"
#include "hardware/port_adapter.h"
#include "support/serial_socket.h"

using namespace eeprom;

namespace {

constexpr int kBase = hardware::kLpt1;

class FakeController final : public platform::PortIo {
public:
    std::uint8_t In(std::uint16_t port) override {
        if (port == kBase + hardware::kEppAddress) return Failing() ? 0x89 : 0x01;  // PIN/LRB, else done
        if (port == kBase + hardware::kEppData) {
            ++reads_;
            return transfer_.size() >= 2 ? memory[transfer_[1]] : 0;
        }
        return port == kBase + hardware::kControlPort ? 0x04 : 0xFF;
    }

    void Out(std::uint16_t port, std::uint8_t value) override {
        if (port == hardware::kConfigIndex && value == 0x01) {
            ++configures;
            if (Failing()) --failuresLeft;
        } else if (port == kBase + hardware::kEppData) {
            lastS0_ = value;
            if (inTransfer_) transfer_.push_back(value);
        } else if (port == kBase + hardware::kEppAddress) {
            if (value == 0xC5 && !inTransfer_) {  // START with the address already in S0
                inTransfer_ = true;
                transfer_ = {lastS0_};
                reads_ = 0;
            } else if (value == 0xC3) {
                Stop();
            }
        }
    }

    std::array<std::uint8_t, 256> memory{};
    std::vector<std::uint8_t> slaves;  // address byte of each transfer that went through
    int failAfter = 0;                 // good transfers before the failures begin
    int failuresLeft = 0;              // failed attempts still to come (one port reset each)
    int configures = 0;

private:
    bool Failing() const { return failuresLeft > 0 && good_ >= failAfter; }

    void Stop() {
        if (inTransfer_ && !Failing() && transfer_.size() >= 2) {
            if (reads_ == 0 && transfer_.size() == 3) memory[transfer_[1]] = transfer_[2];
            slaves.push_back(transfer_[0]);
            ++good_;
        }
        inTransfer_ = false;
    }

    bool inTransfer_ = false;
    std::vector<std::uint8_t> transfer_;
    std::uint8_t lastS0_ = 0;
    int reads_ = 0;
    int good_ = 0;
};

class ClassicI2c : public ::testing::Test {
protected:
    ClassicI2c() { adapter.SetBase(kBase); }

    std::int64_t ElapsedMs() const { return clock.Peek() / 1000; }

    platform::VirtualCounter clock{10};
    FakeController bus;
    hardware::PortAdapter adapter{bus, clock};
    Image image{kImageSize};
    Image marks{kImageSize};
    RecordingProgress progress;
};

TEST_F(ClassicI2c, ReadFillsItsPageAndClearsItsMarks) {
    for (int k = 0; k < 256; ++k)
        bus.memory[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(255 - k);
    marks.fill(kMarkSeen);
    EXPECT_TRUE(ReadI2cPage(adapter, 2, 0xA5, image, marks, progress));
    for (int k = 0; k < 2048; ++k) {
        const bool inPage = k >= 512 && k < 768;
        ASSERT_EQ(image[static_cast<std::size_t>(k)], inPage ? 255 - (k - 512) : 0) << k;
        ASSERT_EQ(marks[static_cast<std::size_t>(k)], inPage ? kMarkNone : kMarkSeen) << k;
    }
    ASSERT_EQ(bus.slaves.size(), 256u);
    EXPECT_EQ(bus.slaves[0], 0xA4);  // "A5" and "A4" name the same block
    ASSERT_EQ(progress.positions.size(), 257u);
    EXPECT_EQ(progress.positions[255], 255);
    EXPECT_EQ(progress.positions.back(), 0);
    EXPECT_GE(ElapsedMs(), 256 * 15);
    EXPECT_FALSE(ReadI2cPage(adapter, 8, 0xA0, image, marks, progress));
}

TEST_F(ClassicI2c, ReadRetriesEachByteUntilItsTwoHundredFiftySeventhFailure) {
    bus.failAfter = 10;
    bus.failuresLeft = 256;
    EXPECT_TRUE(ReadI2cPage(adapter, 0, 0xA0, image, marks, progress));
    EXPECT_TRUE(progress.messages.empty());
    EXPECT_EQ(bus.slaves.size(), 256u);
    EXPECT_GE(ElapsedMs(), (256 + 256) * 15);  // a pause after every attempt, failed or not

    bus.memory.fill(0x77);
    bus.failAfter = 256 + 10;
    bus.failuresLeft = 1000;
    bus.configures = 0;
    marks.fill(kMarkSeen);
    EXPECT_FALSE(ReadI2cPage(adapter, 1, 0xA2, image, marks, progress));
    EXPECT_EQ(progress.messages, std::vector<std::string>{"Time Out \n Error I2c\n or check Page"});
    EXPECT_EQ(bus.configures, 257 + 1);
    for (int k = 256; k < 512; ++k) {
        const bool read = k < 256 + 10;
        ASSERT_EQ(image[static_cast<std::size_t>(k)], read ? 0x77 : 0) << k;
        ASSERT_EQ(marks[static_cast<std::size_t>(k)], read ? kMarkNone : kMarkSeen) << k;
    }
}

TEST_F(ClassicI2c, WriteGivesUpAtTheTwoHundredFiftySixthFailure) {
    for (int k = 0; k < 256; ++k)
        image[static_cast<std::size_t>(768 + k)] = static_cast<std::uint8_t>(k ^ 0x5A);
    marks.fill(kMarkChanged);
    bus.failAfter = 3;
    bus.failuresLeft = 255;
    EXPECT_TRUE(WriteI2cPage(adapter, 3, 0xB1, image, progress));  // no range check: device 0xB0
    EXPECT_TRUE(progress.messages.empty());
    for (int k = 0; k < 256; ++k) ASSERT_EQ(bus.memory[static_cast<std::size_t>(k)], k ^ 0x5A) << k;
    EXPECT_EQ(bus.slaves.front(), 0xB0);
    EXPECT_GE(ElapsedMs(), (256 + 255) * 10);
    EXPECT_TRUE(std::all_of(marks.begin(), marks.end(), [](std::uint8_t m) { return m == kMarkChanged; }));

    bus.memory.fill(0);
    bus.failAfter = 256 + 20;
    bus.failuresLeft = 1000;
    bus.configures = 0;
    EXPECT_FALSE(WriteI2cPage(adapter, 3, 0xA6, image, progress));
    EXPECT_EQ(progress.messages.size(), 1u);
    EXPECT_EQ(progress.messages[0], kI2cTimeoutMessage);
    EXPECT_EQ(bus.configures, 256 + 1);
    EXPECT_EQ(bus.memory[19], 19 ^ 0x5A);
    EXPECT_EQ(bus.memory[20], 0);
    EXPECT_EQ(progress.positions.back(), 0);
}

TEST(ChipI2cAddress, OnlyA0ToAfAreMemories) {
    EXPECT_TRUE(IsEepromDeviceAddress(0xA0));
    EXPECT_TRUE(IsEepromDeviceAddress(0xAF));
    EXPECT_FALSE(IsEepromDeviceAddress(0xB0));
    EXPECT_FALSE(IsEepromDeviceAddress(0x9F));
}

}  // namespace
