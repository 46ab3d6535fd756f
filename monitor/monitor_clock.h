// The monitor's own time: microseconds on the clock of the adapter whose bus
// it watches (the bench's virtual time on the bench, the steady clock on real
// hardware), never running backwards. A reading the adapter cannot give
// repeats the last good one, so a transfer is never stamped before the one
// logged ahead of it.
#pragma once

#include <cstdint>

#include "hardware/bus_adapter.h"

namespace monitor {

class MonitorClock {
public:
    explicit MonitorClock(hardware::BusAdapter& adapter) : adapter_(&adapter) {}

    // Takes the clock of another adapter (a logic analyzer in place of the
    // adapter's own controller), starting afresh from its first reading.
    void Follow(hardware::BusAdapter& adapter) {
        adapter_ = &adapter;
        last_ = 0;
    }

    // `adapter` is going away: when the clock follows it, its last reading
    // stands until the clock follows another.
    void Release(const hardware::BusAdapter& adapter) {
        if (adapter_ != &adapter) return;
        NowUs();
        adapter_ = nullptr;
    }

    std::int64_t NowUs() {
        const std::int64_t now = adapter_ ? adapter_->NowUs() : hardware::BusAdapter::kNoTime;
        if (now != hardware::BusAdapter::kNoTime && now > last_) last_ = now;
        return last_;
    }

    // The time of an event the adapter stamped (a transfer's START); one it
    // could not stamp takes the time now.
    std::int64_t At(std::int64_t adapterUs) {
        return adapterUs == hardware::BusAdapter::kNoTime ? NowUs() : adapterUs;
    }

private:
    hardware::BusAdapter* adapter_;
    std::int64_t last_ = 0;
};

}  // namespace monitor
