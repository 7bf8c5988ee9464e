// The session's defect-mask operations: loading and saving the four reference
// images as a mask file, and capturing a reference from the current raw frame.
// The references live in image slots 8..11 and their defect maps in 12..15.
//
// Locks: the mask lock guards references and maps against the conversion,
// which applies the flat-field correction and the dot filter under it. An
// update also holds the image lock, taken first, so that the raw frame it
// copies is not being converted or refilled meanwhile.
#include <algorithm>
#include <utility>

#include "imaging/defect_mask.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {

constexpr int kDark8 = 8;
constexpr int kBright8 = 9;
constexpr int kDark16 = 10;
constexpr int kBright16 = 11;
constexpr int kHotMap8 = 12;
constexpr int kDeadMap8 = 13;
constexpr int kHotMap16 = 14;
constexpr int kDeadMap16 = 15;
constexpr int kRaw8 = 0;
constexpr int kRaw16 = 1;

// The raw buffer each colour mode (index 0..5: 8, 16, 24, 32, 48, 64 bits)
// converts from; -1 for an index outside the table.
int RawSlotOfColorMode(int32_t colorModeIndex) {
    switch (colorModeIndex) {
    case 0:
    case 2:
    case 3:
        return kRaw8;
    case 1:
    case 4:
    case 5:
        return kRaw16;
    default:
        return -1;
    }
}

// Whether Initialize got as far as making the raw and mask buffers.
bool HasMaskBuffers(const CVantix& session) {
    if (session.Engine() == nullptr) return false;
    for (int slot : {kRaw8, kRaw16, kDark8, kBright8, kDark16, kBright16, kHotMap8, kDeadMap8, kHotMap16, kDeadMap16}) {
        if (session.Image(slot) == nullptr) return false;
    }
    return true;
}

}  // namespace

int32_t CVantix::LoadMaskFile(const char* fileName) {
    if (!HasMaskBuffers(*this)) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    // The file is read outside the mask lock into images of its own, so the
    // conversion is not held up by the disk and a rejected or short file
    // leaves the current references as they are.
    // A file made for another array (another model's) is refused.
    const vantix::SensorArea area = Area();
    vantix::MaskReferences loaded;
    if (!vantix::ReadMaskFile(fileName, &loaded, {area.width, area.height})) {
        RecordError(vantix::kErrorMaskFile);
        return 0;
    }
    vantix::ScopedLock lock(maskLock_);
    // The model may have changed while the file was read.
    if (loaded.dark8.Width() != Image(kDark8)->Width() || loaded.dark8.Height() != Image(kDark8)->Height()) {
        RecordError(vantix::kErrorMaskFile);
        return 0;
    }
    // Marks the white references as set up, so that their first-use fill
    // can never overwrite what was loaded.
    EnsureMaskReferencesFilled();
    *Image(kDark8) = std::move(loaded.dark8);
    *Image(kBright8) = std::move(loaded.bright8);
    *Image(kDark16) = std::move(loaded.dark16);
    *Image(kBright16) = std::move(loaded.bright16);
    // Maps are rebuilt before the lock is released, so that the conversion
    // never sees new references with old maps.
    vantix::BuildDefectMap(*Image(kDark8), Image(kHotMap8), vantix::DefectSource::kDark);
    vantix::BuildDefectMap(*Image(kBright8), Image(kDeadMap8), vantix::DefectSource::kBright);
    vantix::BuildDefectMap(*Image(kDark16), Image(kHotMap16), vantix::DefectSource::kDark);
    vantix::BuildDefectMap(*Image(kBright16), Image(kDeadMap16), vantix::DefectSource::kBright);
    return 1;
}

int32_t CVantix::SaveMaskFile(const char* fileName) {
    if (!HasMaskBuffers(*this)) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    bool saved = false;
    {
        vantix::ScopedLock lock(maskLock_);
        EnsureMaskReferencesFilled();
        saved = vantix::WriteMaskFile(fileName, *Image(kDark8), *Image(kBright8), *Image(kDark16), *Image(kBright16));
    }
    if (!saved) {
        RecordError(vantix::kErrorMaskFile);
        return 0;
    }
    return 1;
}

int32_t CVantix::UpdateMaskData(int32_t which) {
    if (!HasMaskBuffers(*this)) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    vantix::ScopedLock imageLock(imageLock_);
    const int rawSlot = RawSlotOfColorMode(colorModeIndex_.load());
    if (rawSlot < 0) {
        RecordError(vantix::kErrorConversion);
        return 0;
    }
    const vantix::CDibImage& raw = *Image(rawSlot);
    const int32_t depth = rawSlot == kRaw8 ? 8 : 16;
    const bool dark = which == 0;
    vantix::CDibImage* reference = Image(depth == 8 ? (dark ? kDark8 : kBright8) : (dark ? kDark16 : kBright16));
    vantix::CDibImage* map = Image(depth == 8 ? (dark ? kHotMap8 : kDeadMap8) : (dark ? kHotMap16 : kDeadMap16));

    // Only a full-sensor frame of the reference's depth lines up with the
    // reference sample for sample.
    const bool copyable = (which == 0 || which == 1) && !raw.IsEmpty() && raw.BitsPerPixel() == depth &&
                          raw.Width() == Area().width && raw.Height() == Area().height &&
                          reference->Width() == raw.Width() && reference->Height() == raw.Height() &&
                          reference->BitsPerPixel() == depth;
    {
        vantix::ScopedLock maskLock(maskLock_);
        EnsureMaskReferencesFilled();
        if (copyable) {
            const size_t rowBytes = static_cast<size_t>(raw.Width()) * raw.BytesPerPixel();
            for (int32_t row = 0; row < raw.Height(); ++row) {
                std::copy_n(raw.Row(row), rowBytes, reference->Row(row));
            }
        }
        // The map of the frame's depth follows its reference even when the
        // frame could not be taken.
        vantix::BuildDefectMap(*reference, map, dark ? vantix::DefectSource::kDark : vantix::DefectSource::kBright);
    }
    if (!copyable) {
        RecordError(vantix::kErrorConversion);
        return 0;
    }
    return 1;
}
