// libFuzzer target: the mask file loader on arbitrary files. The input is
// read as a file; when it is at least a header long it is read a second time
// grown (with zero planes) to about the full mask size, a little short of it
// or a little past it, so that headers the fuzzer finds valid reach the plane
// reads. A file shorter than a whole mask must never load, and a loaded mask
// must hold four full-sensor planes.
#include <cstdint>
#include <cstdlib>

#include "fuzz_file.h"
#include "imaging/defect_mask.h"

namespace {

bool IsFullSensor(const vantix::CDibImage& image, int32_t bits) {
    return image.Width() == vantix::kMaskWidth && image.Height() == vantix::kMaskHeight &&
           image.BitsPerPixel() == bits;
}

void Load(const char* path, size_t fileBytes) {
    vantix::MaskReferences references;
    if (!vantix::ReadMaskFile(path, &references)) {
        if (!references.dark8.IsEmpty()) std::abort();  // a failed read leaves the output alone
        return;
    }
    if (fileBytes < vantix::kMaskFileBytes) std::abort();
    if (!IsFullSensor(references.dark8, 8) || !IsFullSensor(references.bright8, 8) ||
        !IsFullSensor(references.dark16, 16) || !IsFullSensor(references.bright16, 16)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static vantix::fuzz::MemoryFile file;
    file.Assign(data, size);
    Load(file.Path(), size);
    if (size >= vantix::kMaskFileHeaderBytes && size < vantix::kMaskFileBytes) {
        const size_t grown = vantix::kMaskFileBytes - 64 + data[size - 1] % 128;
        file.Resize(grown);
        Load(file.Path(), grown);
    }
    return 0;
}
