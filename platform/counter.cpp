#include "platform/counter.h"

#include <chrono>
#include <thread>

namespace platform {

bool SteadyCounter::Frequency(std::int64_t& countsPerSecond) {
    countsPerSecond = 1'000'000'000;
    return true;
}

bool SteadyCounter::Now(std::int64_t& count) {
    count = std::chrono::duration_cast<std::chrono::nanoseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count();
    return true;
}

void SteadyCounter::SleepMs(int ms) {
    if (ms <= 0) return;
    using std::chrono::steady_clock;
    // A sleeper wakes late, by about 0.1 ms on a quiet machine (timer slack
    // and wake-up), and a chip write repeats its 5 ms pause thousands of
    // times: sleep most of the time, then spin to the deadline. The spin is
    // kept short because the scheduler preempts a spinning thread sooner when
    // the CPUs are busy, which would cost more than the late wake-up.
    constexpr auto kSpin = std::chrono::microseconds(200);
    const auto deadline = steady_clock::now() + std::chrono::milliseconds(ms);
    if (std::chrono::milliseconds(ms) > kSpin) std::this_thread::sleep_until(deadline - kSpin);
    while (steady_clock::now() < deadline) {
    }
}

bool VirtualCounter::Frequency(std::int64_t& countsPerSecond) {
    if (frequencyFails_) {
        countsPerSecond = 0;
        return false;
    }
    countsPerSecond = kFrequency;
    return true;
}

bool VirtualCounter::Now(std::int64_t& count) {
    ++queries_;
    now_ += step_;
    if (readFails_) {
        count = 0;
        return false;
    }
    count = now_;
    return true;
}

bool VirtualCounter::Observe(std::int64_t& count) {
    ++queries_;
    count = readFails_ ? 0 : now_;
    return !readFails_;
}

void VirtualCounter::SleepMs(int ms) {
    if (ms > 0) now_ += static_cast<std::int64_t>(ms) * kFrequency / 1000;
}

}  // namespace platform
