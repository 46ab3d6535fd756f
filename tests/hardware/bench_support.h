// Shared pieces of the bench suites: a fixture with the virtual counter, a
// bench on LPT1 and a PortAdapter on it; an access recorder; and a capture
// pass written the way the bus monitor's poll timer reads the controller.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "hardware/port_adapter.h"
#include "platform/counter.h"
#include "platform/port_io.h"
#include "simulator/simulated_bench.h"

namespace benchtest {

struct Record {
    std::uint8_t type = 0;
    std::uint8_t data = 0;
    bool operator==(const Record&) const = default;
};
using Capture = std::vector<Record>;

inline std::ostream& operator<<(std::ostream& os, const Record& r) {
    return os << "(" << int(r.type) << "," << std::hex << int(r.data) << std::dec << ")";
}

// Passes every access on and keeps a log of them.
class RecordingPortIo final : public platform::PortIo {
public:
    struct Access {
        bool out = false;
        std::uint16_t port = 0;
        std::uint8_t value = 0;
    };
    explicit RecordingPortIo(platform::PortIo& inner) : inner_(inner) {}
    std::uint8_t In(std::uint16_t port) override {
        const std::uint8_t v = inner_.In(port);
        log.push_back({false, port, v});
        return v;
    }
    void Out(std::uint16_t port, std::uint8_t value) override {
        log.push_back({true, port, value});
        inner_.Out(port, value);
    }
    int Writes(std::uint16_t port) const {
        int n = 0;
        for (const Access& a : log) n += a.out && a.port == port;
        return n;
    }
    std::vector<Access> log;

private:
    platform::PortIo& inner_;
};

// One poll-timer pass of the bus monitor: reset, set up, then `reads` tries
// of waiting for 0x84 and capturing the transfer that follows.
inline std::vector<Capture> CapturePass(hardware::PortAdapter& adapter, int reads = 100000,
                                        bool setUp = true) {
    if (setUp) {
        adapter.ResetAdapter(0, adapter.Latch());
        adapter.InitController();
    }
    platform::PortIo& io = adapter.Io();
    const auto s1 = static_cast<std::uint16_t>(adapter.GetBase() + hardware::kEppAddress);
    const auto s0 = static_cast<std::uint16_t>(adapter.GetBase() + hardware::kEppData);
    std::vector<Capture> transfers;
    for (int i = 0; i < reads; ++i) {
        if (io.In(s1) != 0x84) continue;
        Capture records;
        if (!(io.In(s1) & 0x01)) {
            for (int guard = 0; guard < 100000; ++guard) {
                const std::uint8_t t = io.In(s1);
                if (!(t & 0x80)) records.push_back({t, io.In(s0)});
                if (t & 0x01) break;
            }
        }
        transfers.push_back(records);
    }
    return transfers;
}

// The records a monitor should read for a transfer, from its bus events.
inline Capture ExpectedRecords(const simulator::BusTransfer& transfer) {
    Capture out;
    bool address = true;
    for (const simulator::BusEvent& e : transfer) {
        if (e.kind == simulator::BusEvent::Kind::Byte) {
            out.push_back({static_cast<std::uint8_t>(address ? 0x04 : e.acked ? 0x00 : 0x08), e.byte});
            address = false;
        } else if (e.kind != simulator::BusEvent::Kind::Stop) {
            address = true;
        }
    }
    return out;
}

inline simulator::BusEvent Byte(std::uint8_t b, bool acked = true) {
    return {simulator::BusEvent::Kind::Byte, b, acked};
}
inline simulator::BusEvent Start() { return {simulator::BusEvent::Kind::Start, 0, true}; }
inline simulator::BusEvent Restart() { return {simulator::BusEvent::Kind::RepeatedStart, 0, true}; }
inline simulator::BusEvent Stop() { return {simulator::BusEvent::Kind::Stop, 0, true}; }

class BenchTest : public ::testing::Test {
protected:
    explicit BenchTest(simulator::SimulatedBench::Config config = {}) : bench_(counter_, std::move(config)) {
        adapter_ = std::make_unique<hardware::PortAdapter>(bench_, counter_);
        adapter_->SetBase(hardware::kLpt1);
        adapter_->SetLatch(0xFD);
    }
    hardware::PortAdapter& adapter() { return *adapter_; }
    platform::PortIo& io() { return bench_; }
    std::uint16_t S1() const { return hardware::kLpt1 + hardware::kEppAddress; }
    std::uint16_t S0() const { return hardware::kLpt1 + hardware::kEppData; }
    // The probe every session starts with.
    void Probe() { ASSERT_EQ(adapter().ResetAdapter(0, 0xFD), hardware::kProbeOk); }
    // Lets an EEPROM write cycle run out.
    void WaitWriteCycle() {
        adapter().DelayMs(static_cast<std::int32_t>(bench_.EepromWriteCycleUs() / 1000 + 1));
    }

    platform::VirtualCounter counter_;
    simulator::SimulatedBench bench_;

private:
    std::unique_ptr<hardware::PortAdapter> adapter_;
};

}  // namespace benchtest
