// The high-resolution counter and sleep seam. The real counter reads the
// steady clock; the virtual counter advances a fixed step on every query and
// jumps on sleep, so that millisecond waits cost nothing in tests while every
// delay and every simulated chip timing stays consistent.
#pragma once

#include <cstdint>

namespace platform {

class Counter {
public:
    virtual ~Counter() = default;
    // Counts per second; false when the counter is not available.
    virtual bool Frequency(std::int64_t& countsPerSecond) = 0;
    // Current count; false when the read failed.
    virtual bool Now(std::int64_t& count) = 0;
    virtual void SleepMs(int ms) = 0;

    // For a simulated device that keeps its time by this counter. Observe
    // reads the count without spending the program's time (a virtual
    // counter counts the query but takes no step); Advance moves time on by
    // what the device's own work took (a real counter moves by itself, so
    // it ignores this).
    virtual bool Observe(std::int64_t& count) { return Now(count); }
    virtual void Advance(std::int64_t /*counts*/) {}
};

// steady_clock in nanoseconds.
class SteadyCounter final : public Counter {
public:
    bool Frequency(std::int64_t& countsPerSecond) override;
    bool Now(std::int64_t& count) override;
    void SleepMs(int ms) override;
};

// Deterministic time: 1 MHz counts; every Now() advances `stepCounts`, and
// SleepMs() jumps by the whole sleep.
class VirtualCounter final : public Counter {
public:
    explicit VirtualCounter(std::int64_t stepCounts = 1) : step_(stepCounts) {}
    bool Frequency(std::int64_t& countsPerSecond) override;
    bool Now(std::int64_t& count) override;
    void SleepMs(int ms) override;
    bool Observe(std::int64_t& count) override;

    // Moves time on without a query (the bench charges its port accesses here).
    void Advance(std::int64_t counts) override { now_ += counts; }
    std::int64_t Peek() const { return now_; }
    void SetFrequencyFails(bool fails) { frequencyFails_ = fails; }
    void SetReadFails(bool fails) { readFails_ = fails; }
    std::int64_t queries() const { return queries_; }

    static constexpr std::int64_t kFrequency = 1'000'000;

private:
    std::int64_t now_ = 0;
    std::int64_t step_;
    std::int64_t queries_ = 0;
    bool frequencyFails_ = false;
    bool readFails_ = false;
};

}  // namespace platform
