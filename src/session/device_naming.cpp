// Names of the attached cameras and the camera information record.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "catalog/library_model.h"
#include "catalog/model_catalog.h"
#include "drivers/device_file.h"
#include "platform/text_encoding.h"
#include "transport/device_table.h"
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {

// The library's own model is listed under its model string.
constexpr char kModelName[] = "VantixQ720LX-USB3-K9";
constexpr int kNameEntries = VANTIX_NAME_LIST_ENTRIES;
constexpr size_t kNameEntryChars = VANTIX_NAME_LIST_ENTRY_CHARS;
constexpr int32_t kSmallestNameBuffer = 18;
constexpr int32_t kCameraInfoIntegers = 36;
constexpr int32_t kCameraInfoComplete = 56;

// The text before a camera's number: the library's model string for its own
// model, the catalog's name of the model up to its "_%02d", and for a model
// the catalog lists without a name "Vantix-" and its id in four hexadecimal
// digits ("Vantix-3150").
std::string ModelNameStem(uint16_t modelId) {
    if (modelId == vantix::kLibraryModelId) return kModelName;
    const char* format = vantix::LookupModel(modelId).nameFormat;
    if (format != nullptr) {
        const std::string_view text(format);
        const size_t number = text.rfind("_%02d");
        if (number != std::string_view::npos) return std::string(text.substr(0, number));
    }
    char stem[16];
    std::snprintf(stem, sizeof stem, "Vantix-%04X", static_cast<unsigned>(modelId));
    return stem;
}

// A name and its terminator: the stem, "_" and two digits.
int32_t NameBytes(const std::string& stem) { return static_cast<int32_t>(stem.size()) + 4; }

void FormatName(const std::string& stem, char* out, size_t size, int32_t number) {
    std::snprintf(out, size, "%s_%02d", stem.c_str(), number);
}

}  // namespace

// Names are numbered by their position among the present cameras. Instance
// numbers are looked at until every present camera is named: a camera
// unplugged in between leaves a gap in the instances, not in the list.
int32_t CVantix::EnumDevice(char* names) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (names == nullptr) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    const int32_t count = engine_->EnumerateDevices(modelId_);
    const std::string stem = ModelNameStem(modelId_);
    int written = 0;
    for (int32_t j = 0; j < engine_->GetMaxDevices() && written < count && written < kNameEntries; ++j) {
        if (!engine_->IsDeviceAttached(j)) continue;
        FormatName(stem, names + written * kNameEntryChars, kNameEntryChars, written + 1);
        ++written;
    }
    for (int k = written; k < kNameEntries; ++k) names[k * kNameEntryChars] = '\0';
    return written;
}

int32_t CVantix::EnumDeviceW(char16_t* names) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (names == nullptr) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    char narrow[kNameEntries * kNameEntryChars] = {};
    const int32_t count = EnumDevice(narrow);
    for (int k = 0; k < kNameEntries; ++k) {
        char16_t* entry = names + k * kNameEntryChars;
        if (k >= count || vantix::AnsiToUtf16(narrow + k * kNameEntryChars, entry, kNameEntryChars) < 0) {
            entry[0] = u'\0';
        }
    }
    return count;
}

// A buffer too small for the whole name is refused rather than given a
// truncated name that could name another camera.
int32_t CVantix::GetDeviceName(int32_t index, char* name, int32_t size) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    const std::string stem = ModelNameStem(modelId_);
    if (name == nullptr || size < kSmallestNameBuffer || size < NameBytes(stem)) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    if (index < 0 || index >= engine_->GetMaxDevices() || !engine_->IsDeviceAttached(index)) {
        RecordError(vantix::kErrorNoCamera);
        return 0;
    }
    FormatName(stem, name, static_cast<size_t>(size), index + 1);
    return 1;
}

int32_t CVantix::GetDeviceNameW(int32_t index, char16_t* name, int32_t size) {
    char narrow[256] = {};
    if (!GetDeviceName(index, narrow, sizeof narrow)) return 0;
    char16_t wide[1024];
    const int units = vantix::AnsiToUtf16(narrow, wide, 1024);
    if (name == nullptr || units <= 0 || units + 1 > size) {
        RecordError(vantix::kErrorConversion);
        return 0;
    }
    std::memcpy(name, wide, sizeof(char16_t) * static_cast<size_t>(units + 1));
    return 1;
}

int32_t CVantix::GetCameraInfo(VantixCameraInfo* info) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (info == nullptr) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    if (info->size < kCameraInfoIntegers) {
        RecordError(vantix::kErrorMemory);
        return 0;
    }
    const vantix::SensorArea area = Area();
    info->totalWidth = area.width;
    info->totalHeight = area.height;
    info->gainMin = engine_->GetGainMin();
    info->gainMax = engine_->GetGainMax();
    info->colorGainMin = engine_->GetColorGainMin();
    info->colorGainMax = engine_->GetColorGainMax();
    info->exposureMin = engine_->GetExposureTimeMin();
    info->exposureMax = engine_->GetExposureTimeMax();
    if (info->size >= kCameraInfoComplete) {
        engine_->GetExposureSecondsMin(&info->exposureSecondsMin);
        engine_->GetExposureSecondsMax(&info->exposureSecondsMax);
    }
    return 1;
}

namespace {

// What an application learns of one entry of the device table.
void FillDeviceDetails(const vantix::DeviceTableEntry& entry, VantixDeviceDetails* details) {
    *details = VantixDeviceDetails{};
    details->instance = entry.instance;
    details->vendorId = entry.vendorId;
    details->productId = entry.productId;
    std::memcpy(details->path, entry.path, sizeof details->path);
    details->path[sizeof details->path - 1] = '\0';
    details->isVirtual = vantix::IsVirtualDevice(details->path) ? 1 : 0;
}

}  // namespace

int32_t CVantix::GetDeviceDetails(int32_t instance, VantixDeviceDetails* details) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (details == nullptr) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    engine_->EnumerateDevices(modelId_);
    if (instance < 0 || instance >= engine_->GetMaxDevices() || !engine_->IsDeviceAttached(instance)) {
        RecordError(vantix::kErrorNoCamera);
        return 0;
    }
    const vantix::DeviceTable& table = vantix::ProcessDeviceTable();
    for (int32_t i = 0; i < table.Count(); ++i) {
        const vantix::DeviceTableEntry entry = table.Entry(i);
        if (entry.productId != modelId_ || entry.instance != instance) continue;
        FillDeviceDetails(entry, details);
        return 1;
    }
    RecordError(vantix::kErrorNoCamera);
    return 0;
}

// Cameras of every model, in the order of the device table, so that a tool
// can list what is attached before it chooses a model.
int32_t CVantix::GetAttachedCamera(int32_t position, VantixDeviceDetails* details) {
    if (!engine_) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (details == nullptr) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    const int32_t count = engine_->EnumerateDevices(0);
    const vantix::DeviceTable& table = vantix::ProcessDeviceTable();
    int32_t present = 0;
    for (int32_t i = 0; i < count && position >= 0; ++i) {
        if (!table.Exists(i) || present++ != position) continue;
        const vantix::DeviceTableEntry entry = table.Entry(i);
        FillDeviceDetails(entry, details);
        return 1;
    }
    return 0;
}

// The capture-window rules of the open camera, from its sensor.
int32_t CVantix::GetWindowRules(VantixWindowRules* rules) {
    vantix::ScopedLock settings(settingsLock_);
    if (!engine_ || engine_->Sensor() == nullptr) {
        RecordError(vantix::kErrorNoEngine);
        return 0;
    }
    if (rules == nullptr) {
        RecordError(vantix::kErrorArgument);
        return 0;
    }
    vantix::WindowRules sensorRules;
    if (!engine_->GetWindowRules(&sensorRules)) {
        RecordError(vantix::kErrorNotSupported);
        return 0;
    }
    *rules = VantixWindowRules{};
    rules->maxWidth = sensorRules.maxWidth;
    rules->maxHeight = sensorRules.maxHeight;
    rules->minWidth = sensorRules.minWidth;
    rules->minHeight = sensorRules.minHeight;
    rules->subSampleModes = sensorRules.areaModes;
    for (size_t m = 0; m < 3; ++m) {
        const vantix::WindowRules::Grid& g = sensorRules.grid[m];
        rules->grid[m] = {g.widthStep, g.heightStep, g.xStep, g.yStep};
    }
    return 1;
}
