// libFuzzer target: the VANTIX_EMULATE parser on arbitrary text. Accepted
// text names between one and 32 cameras per item; rejected text leaves the
// output alone.
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "emulator/emulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<uint16_t> models{0xABCD};
    if (!vantix::emulator::ParseEmulateVariable(text, &models)) {
        if (models.size() != 1 || models[0] != 0xABCD) std::abort();
        return 0;
    }
    size_t items = 1;
    for (char c : text) items += c == ',';
    if (models.empty() || models.size() > 32 * items) std::abort();
    return 0;
}
