#include "sensors/standalone/temperature_monitor.h"

namespace vantix {

TemperatureMonitor::TemperatureMonitor(std::function<std::optional<int16_t>()> sample, uint32_t periodMs)
    : sample_(std::move(sample)), periodMs_(periodMs) {}

TemperatureMonitor::~TemperatureMonitor() { Stop(); }

void TemperatureMonitor::Start() {
    std::lock_guard lock(control_);
    stop_.Set();
    thread_.Join();
    {
        std::lock_guard history(history_);
        count_ = 0;
        next_ = 0;
    }
    stop_.Reset();
    thread_.Start([this] { Run(); });
}

void TemperatureMonitor::Stop() {
    std::lock_guard lock(control_);
    stop_.Set();
    thread_.Join();
    std::lock_guard history(history_);
    count_ = 0;
    next_ = 0;
}

bool TemperatureMonitor::Running() const {
    std::lock_guard lock(control_);
    return thread_.Joinable() && !stop_.IsSignalled();
}

std::optional<double> TemperatureMonitor::Average() const {
    std::lock_guard history(history_);
    if (count_ == 0) return std::nullopt;
    int64_t sum = 0;
    for (size_t i = 0; i < count_; ++i) sum += samples_[i];
    return static_cast<double>(sum) / static_cast<double>(count_);
}

void TemperatureMonitor::Run() {
    do {
        if (const std::optional<int16_t> value = sample_()) {
            std::lock_guard history(history_);
            samples_[next_] = *value;
            next_ = (next_ + 1) % kHistory;
            if (count_ < kHistory) ++count_;
        }
    } while (stop_.Wait(periodMs_) == WaitResult::TimedOut);
}

}  // namespace vantix
