// libFuzzer target: the settings file's text format on arbitrary bytes. The
// parser touches no file, so the whole input space is reachable. A document
// written and read back must give the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/reg_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vantix::SettingsDocument document;
    vantix::ParseRegText(std::string_view(reinterpret_cast<const char*>(data), size), &document);
    const std::string text = document.Serialize();
    vantix::SettingsDocument again;
    vantix::ParseRegText(text, &again);
    if (again.damaged || again.Serialize() != text) std::abort();
    return 0;
}
