// Runs the benchmarks and prints, for every benchmark with a "Baseline"
// partner of the same family, its throughput as a ratio of the partner's
// measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto it = run.counters.find("bytes_per_second");
            if (it != run.counters.end()) throughput_[run.benchmark_name()] = it->second.value;
        }
    }
    // A benchmark is compared with the Baseline of its family that has the
    // same arguments ("Family_X/2/real_time" with "Family_Baseline.../2/real_time").
    void PrintRatios() const {
        for (const auto& [name, rate] : throughput_) {
            const std::string family = name.substr(0, name.find('_'));
            const size_t slash = name.find('/');
            const std::string arguments = slash == std::string::npos ? "" : name.substr(slash);
            if (name.rfind(family + "_Baseline", 0) == 0) continue;
            for (const auto& [baseName, baseRate] : throughput_) {
                const size_t baseSlash = baseName.find('/');
                const std::string baseArguments = baseSlash == std::string::npos ? "" : baseName.substr(baseSlash);
                if (baseName.rfind(family + "_Baseline", 0) == 0 && baseArguments == arguments && baseRate > 0) {
                    std::printf("%-45s %9.1f MB/s = %.2f x %s\n", name.c_str(), rate / 1e6, rate / baseRate,
                                baseName.c_str());
                }
            }
        }
    }

private:
    std::map<std::string, double> throughput_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
