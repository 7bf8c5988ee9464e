#pragma once
// A background thread that samples a head's temperature at a fixed rate
// and keeps the latest samples for their average. Start, Stop and the
// destructor may be called from any thread; Stop returns once the thread
// has ended, and the thread waits on a stop event rather than sleeping, so
// stopping never waits for a whole sample period.
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "platform/event.h"
#include "platform/thread.h"

namespace vantix {

class TemperatureMonitor {
public:
    // `sample` reads one 16-bit sample from the head, empty when the read
    // failed (the sample is skipped).
    TemperatureMonitor(std::function<std::optional<int16_t>()> sample, uint32_t periodMs);
    ~TemperatureMonitor();
    TemperatureMonitor(const TemperatureMonitor&) = delete;
    TemperatureMonitor& operator=(const TemperatureMonitor&) = delete;

    // Stops a running monitor, forgets its samples and starts sampling anew
    // (the first sample at once).
    void Start();
    // Ends the thread and forgets the samples. Harmless when not running.
    void Stop();
    bool Running() const;
    // The average of the samples held; empty before the first one.
    std::optional<double> Average() const;

    static constexpr size_t kHistory = 16;

private:
    void Run();

    const std::function<std::optional<int16_t>()> sample_;
    const uint32_t periodMs_;
    // Serialises Start and Stop, so one thread at most runs.
    mutable std::mutex control_;
    Thread thread_;
    Event stop_{EventReset::Manual};
    // The samples, a ring of kHistory; guarded by history_.
    mutable std::mutex history_;
    int16_t samples_[kHistory] = {};
    size_t count_ = 0;
    size_t next_ = 0;
};

}  // namespace vantix
