// `vantix list` and `vantix info`: the attached cameras and what one offers.
#include <cstdio>
#include <cstring>
#include <string>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include "cli.h"
#include "commands.h"

namespace cli {

int RunList(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, 2, {}, {"json", "help"}, &options)) return 2;
    if (options.Has("help")) {
        std::printf("usage: vantix list [--json]\n  Lists the attached cameras of every model (real, or virtual ones from VANTIX_EMULATE).\n");
        return 0;
    }
    const int32_t handle = Vantix_Initialize(nullptr);
    if (handle == 0) return Fail(0, "creating a session");
    const bool json = options.Has("json");
    if (json) std::printf("[");
    // Cameras of every model. The index is the one --camera takes; the
    // instance is the camera's number among its model's cameras, the one
    // --model with --camera and Vantix_SetDeviceNumber take.
    int32_t listed = 0;
    VantixDeviceDetails details{};
    for (int32_t position = 0; VantixExt_GetAttachedCamera(handle, position, &details) == 1; ++position) {
        // Names follow the model's naming, so the session speaks of that model.
        if (VantixExt_GetModelId(handle) != details.productId) VantixExt_SetModelId(handle, details.productId);
        char name[64] = {};
        Vantix_GetDeviceName(handle, details.instance, name, sizeof name);
        const char* kind = details.isVirtual ? "virtual" : "usb";
        if (json) {
            std::printf("%s{\"index\":%d,\"name\":\"%s\",\"model_id\":\"0x%04x\",\"vendor_id\":\"0x%04x\","
                        "\"instance\":%d,\"kind\":\"%s\",\"path\":\"%s\"}",
                        listed ? "," : "", position, JsonEscape(name).c_str(), details.productId, details.vendorId,
                        details.instance, kind, JsonEscape(details.path).c_str());
        } else {
            if (listed == 0) std::printf("%-5s %-26s %-7s %-8s %-8s %s\n", "index", "name", "model", "instance", "kind", "path");
            std::printf("%-5d %-26s 0x%04x  %-8d %-8s %s\n", position, name, details.productId, details.instance, kind,
                        details.path);
        }
        ++listed;
    }
    if (json) std::printf("]\n");
    if (!json && listed == 0) std::printf("no camera attached (set VANTIX_EMULATE=3040 for a virtual one)\n");
    Vantix_Release(handle);
    return 0;
}

int RunInfo(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, 2, {"camera"}, {"json", "help"}, &options)) return 2;
    if (options.Has("help")) {
        std::printf("usage: vantix info [--camera N] [--model 0xNNNN] [--json]\n  Model, sensor array, gain and exposure ranges, features and current settings of a camera.\n");
        return 0;
    }
    int64_t index = 0;
    if (!ParseInteger(options.Get("camera", "0"), 0, 31, &index)) {
        std::fprintf(stderr, "error: --camera takes a number from 0 to 31\n");
        return 2;
    }
    const int32_t handle = OpenSession(static_cast<int32_t>(index));
    if (handle == 0) return 1;
    VantixCameraInfo info;
    std::memset(&info, 0, sizeof info);
    info.size = sizeof info;
    if (!Vantix_GetCameraInfo(handle, &info)) {
        const int status = Fail(handle, "reading the camera information");
        Vantix_Release(handle);
        return status;
    }
    char name[64] = {};
    // --camera counts the model's cameras with --model, else every camera.
    int32_t instance = static_cast<int32_t>(index);
    VantixDeviceDetails details{};
    if (!options.Has("model") && VantixExt_GetAttachedCamera(handle, instance, &details) == 1) instance = details.instance;
    Vantix_GetDeviceName(handle, instance, name, sizeof name);
    const int32_t model = VantixExt_GetModelId(handle);
    // What the camera offers beyond gain and exposure in 0.1 ms.
    int32_t secondsOk = 0, temperatureOk = 0;
    Vantix_GetExposureTimeEx(handle, &secondsOk);
    Vantix_GetTemperatureEx(handle, &temperatureOk);
    Vantix_GetLastError(handle);  // the probes' "not supported" are answers, not failures
    std::string features = "[\"gain\",\"exposure\"";
    if (info.colorGainMax > info.colorGainMin) features += ",\"color_gain\"";
    if (secondsOk) features += ",\"exposure_seconds\"";
    if (temperatureOk) features += ",\"temperature\"";
    features += "]";
    int32_t ok = 0;
    const int32_t gain = Vantix_GetGlobalGain(handle, &ok);
    const int32_t exposure = Vantix_GetExposureTime(handle, &ok);
    int32_t th = 0, x = 0, w = 0, tv = 0, y = 0, h = 0;
    Vantix_GetCaptureWindowEx(handle, &th, &x, &w, &tv, &y, &h);
    // The camera's firmware version is kept in FPGA registers 0x11 (high) and 0x10.
    // The SDK clears `ok` on a failed read and leaves it alone otherwise.
    int32_t highOk = 1, lowOk = 1;
    const int32_t firmwareHigh = Vantix_Fpga_ReadRegister(handle, 0x11, &highOk);
    const int32_t firmwareLow = Vantix_Fpga_ReadRegister(handle, 0x10, &lowOk);
    const int32_t firmware = (firmwareHigh & 0xFF) * 256 + (firmwareLow & 0xFF);
    char firmwareText[16] = "unknown";
    if (highOk != 0 && lowOk != 0) std::snprintf(firmwareText, sizeof firmwareText, "0x%04x", firmware);
    if (options.Has("json")) {
        std::printf("{\"name\":\"%s\",\"model_id\":\"0x%04x\",\"features\":%s,\"sensorWidth\":%d,\"sensorHeight\":%d,\"gain\":{\"min\":%d,\"max\":%d,\"current\":%d},"
                    "\"colorGain\":{\"min\":%d,\"max\":%d},\"exposure\":{\"min\":%d,\"max\":%d,\"current\":%d},"
                    "\"window\":{\"x\":%d,\"y\":%d,\"width\":%d,\"height\":%d},\"colorModeBits\":%d,"
                    "\"firmware\":\"%s\"}\n",
                    JsonEscape(name).c_str(), static_cast<unsigned>(model), features.c_str(), info.totalWidth, info.totalHeight, info.gainMin, info.gainMax, gain,
                    info.colorGainMin, info.colorGainMax, info.exposureMin, info.exposureMax, exposure, x, y, w, h,
                    Vantix_GetColorMode(handle), firmwareText);
    } else {
        std::printf("camera        %s\n", name);
        std::printf("model         0x%04x\n", static_cast<unsigned>(model));
        std::printf("sensor        %d x %d pixels\n", info.totalWidth, info.totalHeight);
        std::printf("gain          %d (range %d..%d)\n", gain, info.gainMin, info.gainMax);
        std::printf("colour gains  range %d..%d\n", info.colorGainMin, info.colorGainMax);
        std::printf("exposure      %.1f ms (range %.1f..%.1f ms)\n", exposure / 10.0, info.exposureMin / 10.0,
                    info.exposureMax / 10.0);
        std::printf("window        %d x %d at (%d, %d)\n", w, h, x, y);
        std::printf("colour mode   %d bits per pixel\n", Vantix_GetColorMode(handle));
        std::printf("firmware      %s\n", firmwareText);
        std::printf("features      %s\n", features.c_str());
    }
    Vantix_Release(handle);
    return 0;
}

}  // namespace cli
