// Millisecond clock and sleeper. The engine paces its frames through this
// interface; tests and headless runs use the fixed-step clock, which never
// sleeps: a sleep only moves its time forward.
#pragma once

#include <cstdint>

namespace zel {

class IClock {
public:
    virtual ~IClock() = default;
    // Monotonic milliseconds.
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
};

// The host's monotonic clock.
class TSystemClock final : public IClock {
public:
    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override;
};

// Virtual time: NowMs returns the current value, SleepMs advances it.
class TFixedStepClock final : public IClock {
public:
    explicit TFixedStepClock(uint64_t start = 1000) : now_(start) {}
    uint64_t NowMs() override { return now_; }
    void SleepMs(uint32_t ms) override {
        now_ += ms;
        slept_ += ms;
        ++sleeps_;
    }
    void Advance(uint64_t ms) { now_ += ms; }
    uint64_t TotalSlept() const { return slept_; }
    uint32_t SleepCount() const { return sleeps_; }
    uint32_t LastSleepCountReset() { uint32_t n = sleeps_; sleeps_ = 0; slept_ = 0; return n; }

private:
    uint64_t now_;
    uint64_t slept_ = 0;
    uint32_t sleeps_ = 0;
};

}  // namespace zel
