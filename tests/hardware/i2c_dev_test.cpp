// The i2c-dev adapter through its fake at the system boundary: the kernel's
// limits, errno onto I2cStatus, bridges that take fewer shapes (learnt from
// their answers) reading and writing the 24C16, a memory's write cycle as
// ENXIO, bus time at the clock, and what Open says when it cannot.
#include <gtest/gtest.h>
#include <linux/i2c-dev.h>
#include <linux/i2c.h>

#include <array>
#include <cerrno>
#include <vector>

#include "hardware/i2c_dev/i2c_dev_adapter.h"
#include "platform/counter.h"
#include "platform/i2c_drivers.h"
#include "simulator/fake_i2c_dev.h"
#include "simulator/simulated_bench.h"
#include "support/adapter_rig.h"
#include "tests/platform/one_sentence.h"

namespace {

using hardware::I2cDevAdapter;
using hardware::I2cMessage;
using hardware::I2cResult;
using hardware::I2cStatus;
using simulator::FakeI2cDev;

struct Rig {
    explicit Rig(FakeI2cDev::Config config = {}) : fake(bench, std::move(config)) {
        std::string error;
        EXPECT_TRUE(adapter.Open(fake.Path(), error)) << error;
    }
    platform::VirtualCounter clock;
    simulator::SimulatedBench bench{clock};
    FakeI2cDev fake;
    I2cDevAdapter adapter{fake, clock};
};

// A device system whose calls fail as a row of a table says.
struct ScriptedSystem final : platform::DeviceSystem {
    int openErrno = 0;
    int funcsErrno = 0;
    unsigned long functions = I2C_FUNC_I2C;
    int transferErrno = 0;
    int Open(const std::string&, int) override { return openErrno ? (errno = openErrno, -1) : 7; }
    int Ioctl(int, unsigned long request, void* arg) override {
        if (request == I2C_FUNCS) {
            if (funcsErrno) return errno = funcsErrno, -1;
            *static_cast<unsigned long*>(arg) = functions;
            return 0;
        }
        return transferErrno ? (errno = transferErrno, -1) : 1;
    }
    int Close(int) override { return ++closes, 0; }
    int Access(const std::string&, int) override { return 0; }
    bool ReadText(const std::string&, std::string&) override { return false; }
    std::vector<std::string> List(const std::string&) override { return {}; }
    int closes = 0;
};

int RawTransfer(FakeI2cDev& fake, int fd, std::vector<i2c_msg>& messages) {
    i2c_rdwr_ioctl_data data{messages.data(), static_cast<__u32>(messages.size())};
    return fake.Ioctl(fd, I2C_RDWR, &data);
}

TEST(I2cDev, KernelLimitsAndErrorsAsTheKernelGivesThem) {
    Rig rig;
    const int fd = rig.fake.Open(rig.fake.Path(), 0);
    std::array<std::uint8_t, 8193> buffer{};
    struct Row {
        int messages;
        int bytes;
        int result;  // the call's return, -errno on failure
    };
    for (const Row& row :
         {Row{0, 1, -EINVAL}, Row{43, 1, -EINVAL}, Row{42, 1, 42}, Row{1, 8193, -EINVAL}, Row{1, 8192, 1}}) {
        SCOPED_TRACE(testing::Message() << row.messages << " messages of " << row.bytes);
        std::vector<i2c_msg> messages(static_cast<std::size_t>(row.messages),
                                      i2c_msg{0x20, I2C_M_RD, static_cast<__u16>(row.bytes), buffer.data()});
        errno = 0;
        const int rc = RawTransfer(rig.fake, fd, messages);
        EXPECT_EQ(rc < 0 ? -errno : rc, row.result);
    }
    // The adapter does not hand the kernel a message it would refuse, and
    // runs more messages than one call takes in two calls.
    const int calls = rig.fake.Calls();
    const I2cMessage tooLong{0x50, true, buffer};
    EXPECT_EQ(rig.adapter.Transfer({&tooLong, 1}).status, I2cStatus::NotSupported);
    EXPECT_EQ(rig.fake.Calls(), calls);
    const std::vector<I2cMessage> many(43, I2cMessage{0x20, true, {buffer.data(), 1}});
    EXPECT_TRUE(rig.adapter.Transfer(many).Ok());
    EXPECT_EQ(rig.fake.Calls(), calls + 2);

    // Each errno onto the status the engine acts on.
    struct Mapping {
        int error;
        I2cStatus status;
        int byte;
    };
    for (const Mapping& m :
         {Mapping{ENXIO, I2cStatus::NoAck, I2cResult::kAddressByte},
          Mapping{ENODEV, I2cStatus::NoAck, I2cResult::kAddressByte},
          Mapping{EREMOTEIO, I2cStatus::NoAck, -1}, Mapping{EIO, I2cStatus::NoAck, -1},
          Mapping{EAGAIN, I2cStatus::BusBusy, -1}, Mapping{ETIMEDOUT, I2cStatus::TimedOut, -1},
          Mapping{EOPNOTSUPP, I2cStatus::NotSupported, -1}, Mapping{EINVAL, I2cStatus::NotSupported, -1}}) {
        SCOPED_TRACE(m.error);
        ScriptedSystem system;
        system.transferErrno = m.error;
        I2cDevAdapter adapter(system, rig.clock);
        std::string error;
        ASSERT_TRUE(adapter.Open("/dev/i2c-4", error));
        std::uint8_t byte = 0;
        const I2cMessage one{0x50, true, {&byte, 1}};
        const I2cResult result = adapter.Transfer({&one, 1});
        EXPECT_EQ(result.status, m.status);
        EXPECT_EQ(result.message, 0);
        EXPECT_EQ(result.byte, m.byte);
    }

    // The bench's bus-busy fault, end to end.
    rig.bench.SetBusHeldBusy(true);
    std::uint8_t reg[] = {1, 2};
    const I2cMessage write{0x20, false, reg};
    EXPECT_EQ(rig.adapter.Transfer({&write, 1}).status, I2cStatus::BusBusy);
    rig.bench.SetBusHeldBusy(false);
    EXPECT_TRUE(rig.adapter.Transfer({&write, 1}).Ok());
    rig.fake.Close(fd);
}

TEST(I2cDev, BridgesOfFewerShapesReadAndWriteThe24C16) {
    struct Bridge {
        const char* name;
        FakeI2cDev::Config config;
        const char* learnt;  // in Describe() once the bridge has refused a shape
    };
    for (const Bridge& bridge :
         {Bridge{"two messages, no zero-length",
                 {.twoMessagesOnly = true, .noZeroLength = true},
                 "one message or a write then a read"},
          Bridge{"one message", {.oneMessageOnly = true}, "of one message,"},
          Bridge{"SMBus only, no quick", {.smbusOnly = true, .noZeroLength = true}, "SMBus only (byte,"}}) {
        SCOPED_TRACE(bridge.name);
        Rig rig(bridge.config);
        if (!bridge.config.smbusOnly) {
            EXPECT_NE(rig.adapter.Describe().find("up to 42 messages"), std::string::npos);
            // Three messages: the register pointer set, two reads running on.
            std::array<std::uint8_t, 3> regs{0x11, 0x22, 0x33};
            for (int r = 0; r < 3; ++r)
                rig.bench.SetRegister(0x40, static_cast<std::uint8_t>(5 + r), regs[r]);
            std::uint8_t reg = 5;
            std::array<std::uint8_t, 2> two{};
            std::uint8_t one = 0;
            const I2cMessage chained[] = {
                {0x20, false, {&reg, 1}}, {0x20, true, two}, {0x20, true, {&one, 1}}};
            ASSERT_TRUE(rig.adapter.Transfer(chained).Ok());
            EXPECT_EQ(two, (std::array<std::uint8_t, 2>{0x11, 0x22}));
            EXPECT_EQ(one, 0x33);
        }
        EXPECT_TRUE(rig.adapter.Capabilities().writeThenReadOnly);
        EXPECT_NE(rig.adapter.Describe().find(bridge.learnt), std::string::npos) << rig.adapter.Describe();

        // The whole chip: a page write each, acknowledge polling between
        // them, then random reads as long as the adapter takes; the 24C16
        // holds the pattern.
        std::vector<std::uint8_t> pattern(2048);
        for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<std::uint8_t>(i * 5 + 3);
        for (int at = 0; at < 2048; at += 16) {
            std::array<std::uint8_t, 17> page{static_cast<std::uint8_t>(at)};
            std::copy_n(pattern.begin() + at, 16, page.begin() + 1);
            const auto device = static_cast<std::uint8_t>(0x50 | (at >> 8));
            const I2cMessage write{device, false, page};
            ASSERT_TRUE(rig.adapter.Transfer({&write, 1}).Ok()) << at;
            const I2cMessage poll{device};
            int polls = 1;
            while (!rig.adapter.Transfer({&poll, 1}).Ok()) ASSERT_LT(++polls, 1000) << at;
            EXPECT_GT(polls, 1) << "the chip is in its write cycle at first";
        }
        EXPECT_EQ(rig.bench.Eeprom(), pattern);
        std::vector<std::uint8_t> back(2048);
        const int chunk = std::min(256, rig.adapter.Capabilities().maxMessageBytes);
        for (int at = 0; at < 2048; at += chunk) {
            auto word = static_cast<std::uint8_t>(at);
            const auto device = static_cast<std::uint8_t>(0x50 | (at >> 8));
            const I2cMessage read[] = {{device, false, {&word, 1}},
                                       {device, true, {back.data() + at, static_cast<std::size_t>(chunk)}}};
            ASSERT_TRUE(rig.adapter.Transfer(read).Ok()) << at;
        }
        EXPECT_EQ(back, pattern);
    }
}

TEST(I2cDev, WriteCycleAnswersEnxioAndBusTimeFollowsTheClock) {
    for (const int hz : {100'000, 400'000}) {
        SCOPED_TRACE(hz);
        Rig rig({.clockHz = hz});
        std::array<std::uint8_t, 17> page{0x40};
        const I2cMessage write{0x50, false, page};
        ASSERT_TRUE(rig.adapter.Transfer({&write, 1}).Ok());
        const I2cMessage poll{0x50};
        const I2cResult busy = rig.adapter.Transfer({&poll, 1});
        EXPECT_EQ(busy.status, I2cStatus::NoAck);
        EXPECT_EQ(busy.byte, I2cResult::kAddressByte);
        rig.adapter.SleepMs(static_cast<int>(rig.bench.EepromWriteCycleUs() / 1000) + 1);
        EXPECT_TRUE(rig.adapter.Transfer({&poll, 1}).Ok());

        // A block read: START, address and word address, repeated START,
        // address and 256 bytes, STOP, nine bit times a byte.
        std::uint8_t word = 0;
        std::array<std::uint8_t, 256> block{};
        const I2cMessage read[] = {{0x50, false, {&word, 1}}, {0x50, true, block}};
        const std::int64_t start = rig.adapter.NowUs();
        ASSERT_TRUE(rig.adapter.Transfer(read).Ok());
        const std::int64_t bits = 1 + 9 * 2 + 1 + 9 * 257 + 1;
        EXPECT_NEAR(static_cast<double>(rig.adapter.NowUs() - start), bits * 1e6 / hz, 2.0);
    }
}

TEST(I2cDev, OpenSaysWhatIsWrongAndWhatTheAdapterOffers) {
    platform::VirtualCounter clock;
    struct Row {
        int openErrno;
        int funcsErrno;
        const char* says;
    };
    for (const Row& row : {Row{ENOENT, 0, "modprobe i2c-dev"}, Row{EACCES, 0, "group i2c"},
                           Row{EBUSY, 0, "busy"}, Row{0, ENOTTY, "not an I2C bus"}}) {
        SCOPED_TRACE(row.says);
        ScriptedSystem system;
        system.openErrno = row.openErrno;
        system.funcsErrno = row.funcsErrno;
        I2cDevAdapter adapter(system, clock);
        std::string error;
        EXPECT_FALSE(adapter.Open("/dev/i2c-4", error));
        EXPECT_NE(error.find(row.says), std::string::npos) << error;
        EXPECT_NE(error.find("/dev/i2c-4"), std::string::npos) << error;
        EXPECT_TRUE(IsOneSentence(error));
        EXPECT_FALSE(adapter.IsOpen());
        EXPECT_EQ(system.closes, row.funcsErrno ? 1 : 0);
    }

    // A PC's SMBus controller: opened, and what it can carry said; a shape
    // that no SMBus call carries is refused before the kernel sees it.
    ScriptedSystem smbus;
    smbus.functions = I2C_FUNC_SMBUS_QUICK | I2C_FUNC_SMBUS_BYTE | I2C_FUNC_SMBUS_BYTE_DATA;
    I2cDevAdapter adapter(smbus, clock);
    std::string error;
    ASSERT_TRUE(adapter.Open("/dev/i2c-0", error));
    EXPECT_EQ(adapter.Describe(),
              "/dev/i2c-0: no plain I2C transfers, SMBus only (quick, byte, byte data), so a command then a "
              "read or a write of up to 1 byte per transfer");
    EXPECT_EQ(adapter.Capabilities().maxMessageBytes, 1);
    std::uint8_t reg = 0;
    std::array<std::uint8_t, 2> two{};
    const I2cMessage wordRead[] = {{0x50, false, {&reg, 1}}, {0x50, true, two}};
    EXPECT_EQ(adapter.Transfer(wordRead).status, I2cStatus::NotSupported);

    // The fake's own listing and name, as the adapter reads them.
    platform::VirtualCounter benchClock;
    simulator::SimulatedBench bench{benchClock};
    FakeI2cDev fake(bench, {.busNumber = 3, .name = "Bench bridge", .clockHz = 400'000});
    EXPECT_EQ(fake.List("/sys/class/i2c-dev"), std::vector<std::string>{"i2c-3"});
    I2cDevAdapter onFake(fake, benchClock);
    ASSERT_TRUE(onFake.Open("/dev/i2c-3", error));
    EXPECT_EQ(
        onFake.Describe(),
        "/dev/i2c-3 (Bench bridge): I2C transfers at 400 kHz of up to 42 messages, 8192 bytes each, the "
        "refused byte not reported; SMBus quick, byte, byte data, word data, I2C block");
    EXPECT_EQ(onFake.Capabilities().speedsHz, std::vector<int>{400'000});
    onFake.Close();
    EXPECT_EQ(fake.OpenCount(), 0);

    // A node only root may open, and a bus with no clock in a device tree.
    FakeI2cDev denied(bench, {.busNumber = 3, .clockInDeviceTree = false, .denied = true});
    I2cDevAdapter onDenied(denied, benchClock);
    EXPECT_FALSE(onDenied.Open("/dev/i2c-3", error));
    EXPECT_NE(error.find("group i2c"), std::string::npos) << error;
    FakeI2cDev noClock(bench, {.clockInDeviceTree = false});
    I2cDevAdapter onNoClock(noClock, benchClock);
    ASSERT_TRUE(onNoClock.Open(noClock.Path(), error));
    EXPECT_TRUE(onNoClock.Capabilities().speedsHz.empty());
}

TEST(I2cDev, SmbusCallsAsTheKernelEmulatesThem) {
    Rig rig;
    const int fd = rig.fake.Open(rig.fake.Path(), 0);
    EXPECT_EQ(rig.fake.Ioctl(fd, I2C_SLAVE, reinterpret_cast<void*>(std::uintptr_t{0x80})), -1);
    ASSERT_EQ(rig.fake.Ioctl(fd, I2C_SLAVE, reinterpret_cast<void*>(std::uintptr_t{0x20})), 0);
    auto call = [&](std::uint8_t readWrite, std::uint8_t command, std::uint32_t size, i2c_smbus_data& data) {
        i2c_smbus_ioctl_data args{readWrite, command, size, &data};
        return rig.fake.Ioctl(fd, I2C_SMBUS, &args);
    };
    i2c_smbus_data data{};
    data.word = 0xBEEF;
    ASSERT_EQ(call(I2C_SMBUS_WRITE, 0x10, I2C_SMBUS_WORD_DATA, data), 0);
    EXPECT_EQ(rig.bench.Register(0x40, 0x10), 0xEF);
    EXPECT_EQ(rig.bench.Register(0x40, 0x11), 0xBE);
    data = {};
    ASSERT_EQ(call(I2C_SMBUS_READ, 0x11, I2C_SMBUS_BYTE_DATA, data), 0);
    EXPECT_EQ(data.byte, 0xBE);
    ASSERT_EQ(call(I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, data), 0);
    EXPECT_EQ(data.byte, rig.bench.Register(0x40, 0x12)) << "the pointer ran on";
    i2c_smbus_ioctl_data pointerOnly{I2C_SMBUS_WRITE, 0x10, I2C_SMBUS_BYTE, nullptr};
    ASSERT_EQ(rig.fake.Ioctl(fd, I2C_SMBUS, &pointerOnly), 0);
    ASSERT_EQ(call(I2C_SMBUS_READ, 0, I2C_SMBUS_BYTE, data), 0);
    EXPECT_EQ(data.byte, 0xEF);

    // I2C block: a page of the 24C16 written and read back.
    ASSERT_EQ(rig.fake.Ioctl(fd, I2C_SLAVE_FORCE, reinterpret_cast<void*>(std::uintptr_t{0x51})), 0);
    data.block[0] = 4;
    for (int i = 1; i <= 4; ++i) data.block[i] = static_cast<std::uint8_t>(0xC0 + i);
    ASSERT_EQ(call(I2C_SMBUS_WRITE, 0x20, I2C_SMBUS_I2C_BLOCK_DATA, data), 0);
    EXPECT_EQ(rig.bench.Eeprom()[0x120], 0xC1);
    EXPECT_EQ(call(I2C_SMBUS_WRITE, 0, I2C_SMBUS_QUICK, data), -1) << "in its write cycle";
    EXPECT_EQ(errno, ENXIO);
    rig.adapter.SleepMs(20);
    data = {};
    data.block[0] = 4;
    ASSERT_EQ(call(I2C_SMBUS_READ, 0x20, I2C_SMBUS_I2C_BLOCK_DATA, data), 0);
    EXPECT_EQ(data.block[4], 0xC4);
    rig.fake.Close(fd);
}

// Each kernel driver's rules through the fake, and the adapter within them:
// a message one byte past the driver's limit gets the driver's errno from the
// node and is never sent by the adapter; an absent chip answers with the
// driver's errno and reaches the engine as an address NACK, except where the
// driver does not look.
TEST(I2cDev, EachDriversLimitsAndNackAsTheAdapterMeetsThem) {
    std::vector<std::uint8_t> buffer(8193, 0xFF);
    for (const platform::I2cDriverRules& driver : platform::I2cDriverTable()) {
        SCOPED_TRACE(driver.driver);
        testsupport::AdapterRig rig(driver);
        hardware::I2cDevAdapter& adapter = rig.I2cDevMaster();
        FakeI2cDev& fake = rig.I2cDevNode();
        EXPECT_EQ(adapter.Driver(), &driver);
        const I2cMessage absent{0x33};
        const I2cResult poll = adapter.Transfer({&absent, 1});
        if (driver.addressNackErrno == 0) {
            EXPECT_TRUE(poll.Ok());
            EXPECT_NE(adapter.Describe().find("does not report a missing acknowledge"), std::string::npos);
        } else {
            EXPECT_EQ(poll.status, I2cStatus::NoAck);
        }
        if (!(driver.functions & I2C_FUNC_I2C)) continue;
        EXPECT_NE(adapter.Describe().find(std::string("(the limits of ") + driver.driver + ")"),
                  std::string::npos)
            << adapter.Describe();
        const int fd = fake.Open(fake.Path(), 0);
        for (const bool read : {true, false}) {
            const int limit = read ? driver.maxReadBytes : driver.maxWriteBytes;
            if (limit >= I2cDevAdapter::kMaxMessageBytes) continue;
            std::vector<i2c_msg> over{{0x50, static_cast<__u16>(read ? I2C_M_RD : 0),
                                       static_cast<__u16>(limit + 1), buffer.data()}};
            errno = 0;
            EXPECT_EQ(RawTransfer(fake, fd, over), -1) << read;
            EXPECT_EQ(errno, driver.tooLongErrno);
            const int calls = fake.Calls();
            const I2cMessage tooLong{0x50, read, {buffer.data(), static_cast<std::size_t>(limit + 1)}};
            if (read) {
                EXPECT_TRUE(adapter.Transfer({&tooLong, 1}).Ok()) << "a long read goes in pieces";
            } else {
                EXPECT_EQ(adapter.Transfer({&tooLong, 1}).status, I2cStatus::NotSupported);
                EXPECT_EQ(fake.Calls(), calls) << "a write is never cut by the driver";
            }
        }
        fake.Close(fd);
    }
}

// hid-cp2112 takes a lone write's 16-bit length as 8 bits: 258 bytes (a
// 24M02's page and its address) go out as 2 and the call succeeds; before a
// read the same write is refused. A bridge whose
// name Merlix does not know but that keeps those rules has its read and write
// limits learnt from EINVAL, not a narrower shape: a 4096-byte read of a
// 24C256 comes whole in pieces, a page write is refused once, then fits.
TEST(I2cDev, Cp2112CutsLongWritesAndAnUnknownBridgesLimitsAreLearnt) {
    const platform::I2cDriverRules& cp2112 = *platform::I2cDriverByModule("hid-cp2112");
    {
        testsupport::AdapterRig rig(cp2112);
        std::vector<std::uint8_t> page(258, 0xAB);
        page[0] = 0x00;  // the word address in the 24C16's first block
        const std::vector<std::uint8_t> before = rig.Eeprom();
        FakeI2cDev& fake = rig.I2cDevNode();
        const int fd = fake.Open(fake.Path(), 0);
        std::vector<i2c_msg> write{{0x50, 0, 258, page.data()}};
        EXPECT_EQ(RawTransfer(fake, fd, write), 1);
        EXPECT_EQ(rig.Eeprom()[0], 0xAB);
        EXPECT_EQ(rig.Eeprom()[1], before[1]) << "only 2 of the 258 bytes went out";
        std::uint8_t byte = 0;
        std::vector<i2c_msg> writeRead{{0x50, 0, 258, page.data()}, {0x50, I2C_M_RD, 1, &byte}};
        const int rc = RawTransfer(fake, fd, writeRead);
        EXPECT_EQ(rc < 0 ? -errno : rc, -EINVAL) << "before a read the length stays whole";
        fake.Close(fd);
    }
    testsupport::AdapterRig rig(cp2112, "USB bridge of unknown make");
    hardware::I2cDevAdapter& adapter = rig.I2cDevMaster();
    EXPECT_EQ(adapter.Driver(), nullptr);
    rig.PutPart("24C256");
    std::vector<std::uint8_t>& memory = rig.PartMemory("24C256");
    for (std::size_t k = 0; k < memory.size(); ++k) memory[k] = static_cast<std::uint8_t>(k * 7);
    std::array<std::uint8_t, 2> word{0x00, 0x00};
    std::vector<std::uint8_t> image(4096);
    const I2cMessage read[] = {{0x50, false, word}, {0x50, true, image}};
    ASSERT_TRUE(adapter.Transfer(read).Ok());
    EXPECT_TRUE(std::equal(image.begin(), image.end(), memory.begin()));
    // A page write: refused (not cut, not sent again), then taken at the learnt length.
    std::vector<std::uint8_t> page(2 + 64, 0x3C);
    page[0] = page[1] = 0x00;
    const I2cMessage whole{0x50, false, page};
    EXPECT_EQ(adapter.Transfer({&whole, 1}).status, I2cStatus::NotSupported);
    EXPECT_EQ(memory[0], 0x00);
    ASSERT_EQ(adapter.Capabilities().maxMessageBytes, 33);
    const I2cMessage half{0x50, false, {page.data(), 33}};
    EXPECT_TRUE(adapter.Transfer({&half, 1}).Ok());
    EXPECT_EQ(memory[30], 0x3C);
    EXPECT_NE(adapter.Describe().find("reads of up to 512 bytes and writes of up to 33 (learnt from its "
                                      "refusals)"),
              std::string::npos)
        << adapter.Describe();
    EXPECT_EQ(adapter.Capabilities().maxMessages, I2cDevAdapter::kMaxMessages) << "no shape was learnt";
}

}  // namespace
