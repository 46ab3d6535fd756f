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
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
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

void VirtualCounter::SleepMs(int ms) {
    if (ms > 0) now_ += static_cast<std::int64_t>(ms) * kFrequency / 1000;
}

namespace {
// Constant-initialised, so adapters built before main() can use it.
constinit SteadyCounter g_steady;
Counter* g_counter = &g_steady;
}  // namespace

Counter& Clock() { return *g_counter; }

Counter* InstallCounter(Counter* counter) {
    Counter* previous = g_counter;
    g_counter = counter ? counter : &g_steady;
    return previous;
}

}  // namespace platform
