#pragma once
// Exports whose session operation is not built yet: each records code 11 (not
// supported) and returns its failure value. When an operation lands, its
// exports leave this list; the API tests call every export listed here and
// check that the others are not reported as missing.
#include <array>
#include <string_view>

namespace vantix {

inline constexpr std::array<std::string_view, 115> kPendingExports = {
    // Session and device naming
    "Vantix_EnumDevice", "Vantix_EnumDeviceW", "Vantix_GetDeviceName",
    "Vantix_GetDeviceNameW", "Vantix_GetCameraInfo",
    // Acquisition
    "Vantix_Preview", "Vantix_Capture", "Vantix_Close", "Vantix_StartPreview", "Vantix_StopPreview",
    "Vantix_CallBackPreview", "Vantix_SnapShot", "Vantix_GetImage", "Vantix_Record", "Vantix_RecordW",
    "Vantix_SaveImage", "Vantix_SaveImageW",
    // Geometry and mirroring
    "Vantix_SetPreviewWindow", "Vantix_SetCaptureWindow", "Vantix_SetCaptureWindowEx", "Vantix_SetMirrorH",
    "Vantix_SetMirrorV", "Vantix_GetMirrorH", "Vantix_GetMirrorV",
    // Filter values, exposure and temperature
    "Vantix_SetFilterValue", "Vantix_GetFilterValue", "Vantix_SetExposureTimeEx", "Vantix_GetExposureTimeEx",
    "Vantix_SetRealExposureTime", "Vantix_GetRealExposureTime", "Vantix_GetTemperatureEx",
    "Vantix_SetChannelGain", "Vantix_GetChannelGain", "Vantix_SetChannelOffset", "Vantix_GetChannelOffset",
    "Vantix_SetSamplingRate",
    "Vantix_SetBrightness", "Vantix_GetBrightness", "Vantix_SetContrast", "Vantix_GetContrast",
    "Vantix_SetHue", "Vantix_GetHue", "Vantix_SetSaturation", "Vantix_GetSaturation",
    "Vantix_SetSharpness", "Vantix_GetSharpness", "Vantix_SetBayerGainRGB", "Vantix_GetBayerGainRGB",
    "Vantix_SetBayerGainRed", "Vantix_GetBayerGainRed", "Vantix_SetBayerGainGreen", "Vantix_GetBayerGainGreen",
    "Vantix_SetBayerGainBlue", "Vantix_GetBayerGainBlue", "Vantix_SetBayerGainAuto", "Vantix_GetBayerGainAuto",
    "Vantix_SetGamma", "Vantix_GetGamma", "Vantix_SetBayerMode", "Vantix_GetBayerMode",
    "Vantix_SetGlobalGain", "Vantix_GetGlobalGain", "Vantix_SetColorGainRed", "Vantix_GetColorGainRed",
    "Vantix_SetColorGainGreen1", "Vantix_GetColorGainGreen1", "Vantix_SetColorGainGreen2",
    "Vantix_GetColorGainGreen2", "Vantix_SetColorGainBlue", "Vantix_GetColorGainBlue",
    "Vantix_SetExposureTime", "Vantix_GetExposureTime", "Vantix_SetGrayMode", "Vantix_GetGrayMode",
    "Vantix_SetGrayGainR", "Vantix_GetGrayGainR", "Vantix_SetGrayGainG1", "Vantix_GetGrayGainG1",
    "Vantix_SetGrayGainG2", "Vantix_GetGrayGainG2", "Vantix_SetGrayGainB", "Vantix_GetGrayGainB",
    "Vantix_SetGrayOffsetR", "Vantix_GetGrayOffsetR", "Vantix_SetGrayOffsetG1", "Vantix_GetGrayOffsetG1",
    "Vantix_SetGrayOffsetG2", "Vantix_GetGrayOffsetG2", "Vantix_SetGrayOffsetB", "Vantix_GetGrayOffsetB",
    "Vantix_SetPeltier", "Vantix_GetPeltier", "Vantix_GetTemperature", "Vantix_SetDotFilter",
    "Vantix_GetDotFilter", "Vantix_SetMaskFilter", "Vantix_GetMaskFilter",
    // Registers and device I/O
    "Vantix_ReadRegister", "Vantix_ReadRegisterEx", "Vantix_WriteRegister", "Vantix_WriteRegisterEx",
    "Vantix_Fpga_ReadRegister", "Vantix_Fpga_WriteRegister", "Vantix_ReadSromID", "Vantix_WriteSromID",
    "Vantix_GetIOPort", "Vantix_SetIOPort",
    // Files, masks and dialogs
    "Vantix_LoadMaskFile", "Vantix_LoadMaskFileW",
    "Vantix_SaveMaskFile", "Vantix_SaveMaskFileW", "Vantix_UpdateMaskData", "Vantix_SetCameraDlg",
    "Vantix_SetImageDlg", "Vantix_SetAnalogDlg",
};

}  // namespace vantix
