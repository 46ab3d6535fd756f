// What the bus-monitor suites share: the window on the bench with helpers to
// run the monitor the way the timer does, and to read its log and history.
#pragma once

#include <string>
#include <vector>

#include "support/bench_fixture.h"
#include "ui/main/app_state.h"

namespace monitortest {

using benchtest::Byte;
using benchtest::Restart;
using benchtest::Start;
using benchtest::Stop;
using simulator::BusTransfer;
using simulator::SimulatedBench;

class MonitorWindow : public testsupport::BenchFixture {
protected:
    void StartMonitor() {
        ASSERT_EQ(session().monitorOn, 0);
        Click(ids::kMonitor);
        ASSERT_EQ(session().monitorOn, 1);
    }
    void StopMonitor() {
        ASSERT_EQ(session().monitorOn, 1);
        Click(ids::kMonitor);
        ASSERT_EQ(session().monitorOn, 0);
    }
    // Timer ticks, each a whole pass. The recorder's log is dropped after
    // each, so that long runs stay small.
    void Poll(int passes = 1) {
        for (int i = 0; i < passes; ++i) {
            dialog().Monitor().OnPollTimer();
            recorder().log.clear();
        }
    }
    // Ticks until the second master has played `count` transfers in all
    // (or `limit` passes went by).
    void PollUntilPlayed(std::uint64_t count, int limit = 400) {
        for (int i = 0; i < limit && bench().TransfersPlayed() < count; ++i) Poll();
    }
    // Queued transfers, captured from monitor start to stop.
    void Monitor(const std::vector<BusTransfer>& transfers) {
        for (const BusTransfer& t : transfers) bench().QueueTransfer(t);
        const std::uint64_t target = bench().TransfersPlayed() + transfers.size();
        StartMonitor();
        PollUntilPlayed(target);
        StopMonitor();
    }

    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        for (int i = 0; i < dialog().Monitor().m_busLog->count(); ++i) {
            lines.push_back(dialog().Monitor().m_busLog->item(i)->text().toStdString());
        }
        return lines;
    }
    std::vector<std::string> History() {
        std::vector<std::string> entries;
        for (int i = 0; i < dialog().Monitor().m_logHistory->count(); ++i) {
            entries.push_back(dialog().Monitor().m_logHistory->itemText(i).toStdString());
        }
        return entries;
    }
};

// A write by the second master: START, the address byte, the bytes, STOP.
inline BusTransfer Write(std::uint8_t address, const std::vector<std::uint8_t>& bytes) {
    BusTransfer t{Start(), Byte(address)};
    for (std::uint8_t b : bytes) t.push_back(Byte(b));
    t.push_back(Stop());
    return t;
}

}  // namespace monitortest
