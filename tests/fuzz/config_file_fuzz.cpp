// libFuzzer target: the configuration file loader on arbitrary files. Every
// whole 8-byte record must come back as its two little-endian words, in
// order; a trailing partial record is ignored.
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "fuzz_file.h"
#include "settings/settings_persistence.h"

namespace {

int32_t Word(const uint8_t* p) {
    return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vantix::fuzz::MemoryFile file;
    file.Assign(data, size);
    std::vector<std::pair<int32_t, int32_t>> records;
    if (vantix::LoadConfigFile(file.Path(), &records) != vantix::ConfigFileResult::kLoaded) std::abort();
    if (records.size() != size / 8) std::abort();
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].first != Word(data + 8 * i) || records[i].second != Word(data + 8 * i + 4)) std::abort();
    }
    return 0;
}
