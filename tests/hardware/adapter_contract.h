// What every PortIo with an adapter on LPT1 must do for the program:
// a typed suite of PCF8584 and latch scenarios run through PortAdapter.
//
// A backend joins with a factory and one instantiation:
//
//     struct MyBackend {
//         explicit MyBackend(platform::Counter& counter);  // the test's virtual counter
//         std::unique_ptr<platform::PortIo> Make();  // a fresh backend, adapter on LPT1
//         std::uint8_t LatchSeen();                   // the latch as the adapter holds it
//     };
//     using MyBackends = ::testing::Types<MyBackend>;
//     INSTANTIATE_TYPED_TEST_SUITE_P(Mine, AdapterContract, MyBackends);
//
// Behind the backend there must be a 24C16-type EEPROM answering A0..AE and
// nothing at 0x3A. Each test builds its adapter on a fresh backend and its
// own virtual counter.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "hardware/port_adapter.h"
#include "platform/counter.h"
#include "platform/port_io.h"

template <typename Factory>
class AdapterContract : public ::testing::Test {
protected:
    void SetUp() override {
        io_ = factory_.Make();
        ASSERT_NE(io_, nullptr);
        adapter_ = std::make_unique<hardware::PortAdapter>(*io_, counter_);
        adapter_->SetBase(hardware::kLpt1);
    }
    hardware::PortAdapter& adapter() { return *adapter_; }
    std::uint8_t LatchSeen() { return factory_.LatchSeen(); }

private:
    platform::VirtualCounter counter_;
    Factory factory_{counter_};
    std::unique_ptr<platform::PortIo> io_;
    std::unique_ptr<hardware::PortAdapter> adapter_;
};

TYPED_TEST_SUITE_P(AdapterContract);

TYPED_TEST_P(AdapterContract, ProbeReadsBackTheControllerByte) {
    EXPECT_EQ(this->adapter().ResetAdapter(0, 0xFD), hardware::kProbeOk);
    EXPECT_EQ(this->adapter().InitController(), hardware::kProbeOk);
    EXPECT_EQ(this->adapter().ResetAdapter(0, 0xFD), hardware::kProbeOk);
}

TYPED_TEST_P(AdapterContract, LatchValueReachesTheLatch) {
    this->adapter().ResetAdapter(0, 0xA5);
    EXPECT_EQ(this->LatchSeen(), 0xA5);
    this->adapter().WriteLatch(0x3C);
    EXPECT_EQ(this->LatchSeen(), 0x3C);
    // Mode 2 drives the stop state whatever the given latch says.
    this->adapter().ResetAdapter(2, 0xFD);
    EXPECT_EQ(this->LatchSeen(), 0xFE);
    // The latch keeps its value across controller traffic.
    EXPECT_EQ(this->adapter().InitController(), hardware::kProbeOk);
    EXPECT_EQ(this->LatchSeen(), 0xFE);
}

TYPED_TEST_P(AdapterContract, WrittenByteReadsBack) {
    ASSERT_EQ(this->adapter().ResetAdapter(0, 0xFD), hardware::kProbeOk);
    ASSERT_EQ(this->adapter().I2cWriteByte(0x21, 0xA2, 0x6B), hardware::ByteResult::Done);
    this->adapter().DelayMs(15);
    EXPECT_EQ(this->adapter().I2cReadByte(0x21, 0xA2).value, 0x6B);
    ASSERT_EQ(this->adapter().I2cWriteByte(0x21, 0xA2, 0x94), hardware::ByteResult::Done);
    this->adapter().DelayMs(15);
    EXPECT_EQ(this->adapter().I2cReadByte(0x21, 0xA2).value, 0x94);
}

TYPED_TEST_P(AdapterContract, AbsentSlaveIsNotAcknowledged) {
    ASSERT_EQ(this->adapter().ResetAdapter(0, 0xFD), hardware::kProbeOk);
    EXPECT_EQ(this->adapter().I2cWriteByte(0x00, 0x3A, 0x01), hardware::ByteResult::NoAck);
    EXPECT_EQ(this->adapter().I2cReadByte(0x00, 0x3A).result, hardware::ByteResult::NoAck);
    // Both released the bus.
    EXPECT_EQ(this->adapter().WaitBusFree(), hardware::ByteResult::Done);
}

REGISTER_TYPED_TEST_SUITE_P(AdapterContract, ProbeReadsBackTheControllerByte, LatchValueReachesTheLatch,
                            WrittenByteReadsBack, AbsentSlaveIsNotAcknowledged);
