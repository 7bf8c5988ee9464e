"""The C declarations of the SDK (<vantix/exports.h> and <vantix/linux_ext.h>),
written once as C prototypes and turned into ctypes argument and result
types when the library is loaded. tests/test_declarations.py checks them
against the headers."""
from __future__ import annotations

import ctypes
from typing import Dict, List, Optional, Tuple

VANTIX_MSG_FRAME = 0x8002
VANTIX_MSG_ERROR = 0x8003
WAIT_FOREVER = 0xFFFFFFFF


class CameraInfo(ctypes.Structure):
    """VantixCameraInfo."""
    _fields_ = [
        ("size", ctypes.c_int32),
        ("totalWidth", ctypes.c_int32),
        ("totalHeight", ctypes.c_int32),
        ("gainMin", ctypes.c_int32),
        ("gainMax", ctypes.c_int32),
        ("colorGainMin", ctypes.c_int32),
        ("colorGainMax", ctypes.c_int32),
        ("exposureMin", ctypes.c_int32),
        ("exposureMax", ctypes.c_int32),
        ("reserved", ctypes.c_int32),
        ("exposureSecondsMin", ctypes.c_double),
        ("exposureSecondsMax", ctypes.c_double),
    ]


class FrameInfoRecord(ctypes.Structure):
    """VantixFrameInfo, the record a VANTIX_MSG_FRAME message points to."""
    _fields_ = [
        ("reserved0", ctypes.c_int32),
        ("width", ctypes.c_int32),
        ("height", ctypes.c_int32),
        ("bitsPerPixel", ctypes.c_int32),
        ("rateTenths", ctypes.c_int32),
        ("reserved1", ctypes.c_int32),
        ("clientBuffer", ctypes.c_void_p),
    ]


class Message(ctypes.Structure):
    """VantixMessage."""
    _fields_ = [
        ("window", ctypes.c_void_p),
        ("message", ctypes.c_uint32),
        ("wParam", ctypes.c_size_t),
        ("lParam", ctypes.c_ssize_t),
    ]


class DeviceDetails(ctypes.Structure):
    """VantixDeviceDetails."""
    _fields_ = [
        ("instance", ctypes.c_int32),
        ("vendorId", ctypes.c_uint16),
        ("productId", ctypes.c_uint16),
        ("isVirtual", ctypes.c_int32),
        ("path", ctypes.c_char * 260),
    ]


class WindowGrid(ctypes.Structure):
    """VantixWindowGrid."""
    _fields_ = [(name, ctypes.c_int32) for name in ("widthStep", "heightStep", "xStep", "yStep")]


class WindowRules(ctypes.Structure):
    """VantixWindowRules."""
    _fields_ = [(name, ctypes.c_int32) for name in ("maxWidth", "maxHeight", "minWidth", "minHeight",
                                                    "subSampleModes")] + [("grid", WindowGrid * 3)]


class FrameMetadata(ctypes.Structure):
    """VantixFrameMetadata."""
    _fields_ = [("frameCounter", ctypes.c_uint32), ("droppedFrames", ctypes.c_uint32),
                ("timestampNs", ctypes.c_uint64)] + [(name, ctypes.c_int32) for name in (
                    "width", "height", "bitsPerPixel", "imageWidth", "imageHeight")]


WindowProc = ctypes.CFUNCTYPE(ctypes.c_ssize_t, ctypes.c_void_p, ctypes.c_uint32, ctypes.c_size_t,
                              ctypes.c_ssize_t, ctypes.c_void_p)

_TYPES = {
    "void": None,
    "int32_t": ctypes.c_int32,
    "uint8_t": ctypes.c_uint8,
    "uint32_t": ctypes.c_uint32,
    "uintptr_t": ctypes.c_size_t,
    "intptr_t": ctypes.c_ssize_t,
    "unsigned long": ctypes.c_ulong,
    "double": ctypes.c_double,
    "void*": ctypes.c_void_p,
    "char*": ctypes.c_char_p,
    "const char*": ctypes.c_char_p,
    "char16_t*": ctypes.c_void_p,
    "const char16_t*": ctypes.c_void_p,
    "int32_t*": ctypes.POINTER(ctypes.c_int32),
    "uint8_t*": ctypes.POINTER(ctypes.c_uint8),
    "VantixHwnd": ctypes.c_void_p,
    "VantixWindowProc": WindowProc,
    "VantixCameraInfo*": ctypes.POINTER(CameraInfo),
    "VantixMessage*": ctypes.POINTER(Message),
    "VantixDeviceDetails*": ctypes.POINTER(DeviceDetails),
    "VantixWindowRules*": ctypes.POINTER(WindowRules),
    "VantixFrameMetadata*": ctypes.POINTER(FrameMetadata),
}

DECLARATIONS = """
int32_t Vantix_Initialize(VantixHwnd window);
int32_t Vantix_Release(int32_t handle);
int32_t Vantix_GetDllVersion(void);
int32_t Vantix_GetLastError(int32_t handle);
int32_t Vantix_SetDeviceNumber(int32_t handle, int32_t index);
int32_t Vantix_EnumDevice(int32_t handle, char* names);
int32_t Vantix_EnumDeviceW(int32_t handle, char16_t* names);
int32_t Vantix_GetDeviceName(int32_t handle, int32_t index, char* name, int32_t size);
int32_t Vantix_GetDeviceNameW(int32_t handle, int32_t index, char16_t* name, int32_t size);
int32_t Vantix_GetCameraInfo(int32_t handle, VantixCameraInfo* info);
int32_t Vantix_GetStatus(int32_t handle, int32_t reserved);
int32_t Vantix_Preview(int32_t handle);
int32_t Vantix_Capture(int32_t handle);
int32_t Vantix_Close(int32_t handle);
int32_t Vantix_StartPreview(int32_t handle);
int32_t Vantix_StopPreview(int32_t handle);
int32_t Vantix_CallBackPreview(int32_t handle, VantixHwnd window, void* buffer, int32_t size, int32_t bottomUp);
int32_t Vantix_SnapShot(int32_t handle, void* buffer, int32_t size, int32_t bottomUp);
int32_t Vantix_GetImage(int32_t handle, void* buffer, int32_t size, int32_t bottomUp);
int32_t Vantix_Record(int32_t handle, const char* fileName, int32_t durationMs, int32_t showWindow);
int32_t Vantix_RecordW(int32_t handle, const char16_t* fileName, int32_t durationMs, int32_t showWindow);
int32_t Vantix_SaveImage(int32_t handle, const char* fileName, int32_t format);
int32_t Vantix_SaveImageW(int32_t handle, const char16_t* fileName, int32_t format);
int32_t Vantix_SetPreviewWindow(int32_t handle, VantixHwnd parent, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t Vantix_SetCaptureWindow(int32_t handle, int32_t width, int32_t height);
int32_t Vantix_SetCaptureWindowEx(int32_t handle, int32_t totalWidth, int32_t startX, int32_t width, int32_t totalHeight, int32_t startY, int32_t height);
int32_t Vantix_GetCaptureWindowEx(int32_t handle, int32_t* totalWidth, int32_t* startX, int32_t* width, int32_t* totalHeight, int32_t* startY, int32_t* height);
int32_t Vantix_Width(int32_t handle);
int32_t Vantix_Height(int32_t handle);
int32_t Vantix_SetColorMode(int32_t handle, int32_t bitsPerPixel);
int32_t Vantix_GetColorMode(int32_t handle);
int32_t Vantix_SetSubSample(int32_t handle, int32_t mode);
int32_t Vantix_GetSubSample(int32_t handle);
int32_t Vantix_SetWaitTime(int32_t handle, int32_t milliseconds);
int32_t Vantix_GetWaitTime(int32_t handle);
int32_t Vantix_SetMirrorH(int32_t handle, int32_t on);
int32_t Vantix_SetMirrorV(int32_t handle, int32_t on);
int32_t Vantix_GetMirrorH(int32_t handle);
int32_t Vantix_GetMirrorV(int32_t handle);
int32_t Vantix_SetFilterValue(int32_t handle, int32_t id, int32_t value);
int32_t Vantix_GetFilterValue(int32_t handle, int32_t id, int32_t* ok);
int32_t Vantix_SetExposureTimeEx(int32_t handle, double seconds);
double Vantix_GetExposureTimeEx(int32_t handle, int32_t* ok);
int32_t Vantix_SetRealExposureTime(int32_t handle, int32_t microseconds);
int32_t Vantix_GetRealExposureTime(int32_t handle, int32_t* ok);
double Vantix_GetTemperatureEx(int32_t handle, int32_t* ok);
int32_t Vantix_SetChannelGain(int32_t handle, int32_t channel, int32_t value);
int32_t Vantix_GetChannelGain(int32_t handle, int32_t channel, int32_t* ok);
int32_t Vantix_SetChannelOffset(int32_t handle, int32_t channel, int32_t value);
int32_t Vantix_GetChannelOffset(int32_t handle, int32_t channel, int32_t* ok);
int32_t Vantix_SetAutoIris(int32_t handle, int32_t mode);
int32_t Vantix_GetAutoIris(int32_t handle, int32_t* ok);
int32_t Vantix_SetSamplingRate(int32_t handle, int32_t rate);
int32_t Vantix_GetSamplingRate(int32_t handle, int32_t* value);
int32_t Vantix_GetVideoFormat(int32_t handle, int32_t* value);
int32_t Vantix_SetConfigFilter(int32_t handle, int32_t reserved);
int32_t Vantix_GetConfigFilter(int32_t handle);
int32_t Vantix_SetBrightness(int32_t handle, int32_t value);
int32_t Vantix_GetBrightness(int32_t handle, int32_t* ok);
int32_t Vantix_SetContrast(int32_t handle, int32_t value);
int32_t Vantix_GetContrast(int32_t handle, int32_t* ok);
int32_t Vantix_SetHue(int32_t handle, int32_t value);
int32_t Vantix_GetHue(int32_t handle, int32_t* ok);
int32_t Vantix_SetSaturation(int32_t handle, int32_t value);
int32_t Vantix_GetSaturation(int32_t handle, int32_t* ok);
int32_t Vantix_SetSharpness(int32_t handle, int32_t value);
int32_t Vantix_GetSharpness(int32_t handle, int32_t* ok);
int32_t Vantix_SetBayerGainRGB(int32_t handle, int32_t value);
int32_t Vantix_GetBayerGainRGB(int32_t handle, int32_t* ok);
int32_t Vantix_SetBayerGainRed(int32_t handle, int32_t value);
int32_t Vantix_GetBayerGainRed(int32_t handle, int32_t* ok);
int32_t Vantix_SetBayerGainGreen(int32_t handle, int32_t value);
int32_t Vantix_GetBayerGainGreen(int32_t handle, int32_t* ok);
int32_t Vantix_SetBayerGainBlue(int32_t handle, int32_t value);
int32_t Vantix_GetBayerGainBlue(int32_t handle, int32_t* ok);
int32_t Vantix_SetBayerGainAuto(int32_t handle, int32_t value);
int32_t Vantix_GetBayerGainAuto(int32_t handle, int32_t* ok);
int32_t Vantix_SetGamma(int32_t handle, int32_t value);
int32_t Vantix_GetGamma(int32_t handle, int32_t* ok);
int32_t Vantix_SetBayerMode(int32_t handle, int32_t value);
int32_t Vantix_GetBayerMode(int32_t handle, int32_t* ok);
int32_t Vantix_SetGlobalGain(int32_t handle, int32_t value);
int32_t Vantix_GetGlobalGain(int32_t handle, int32_t* ok);
int32_t Vantix_SetColorGainRed(int32_t handle, int32_t value);
int32_t Vantix_GetColorGainRed(int32_t handle, int32_t* ok);
int32_t Vantix_SetColorGainGreen1(int32_t handle, int32_t value);
int32_t Vantix_GetColorGainGreen1(int32_t handle, int32_t* ok);
int32_t Vantix_SetColorGainGreen2(int32_t handle, int32_t value);
int32_t Vantix_GetColorGainGreen2(int32_t handle, int32_t* ok);
int32_t Vantix_SetColorGainBlue(int32_t handle, int32_t value);
int32_t Vantix_GetColorGainBlue(int32_t handle, int32_t* ok);
int32_t Vantix_SetExposureTime(int32_t handle, int32_t value);
int32_t Vantix_GetExposureTime(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayMode(int32_t handle, int32_t value);
int32_t Vantix_GetGrayMode(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayGainR(int32_t handle, int32_t value);
int32_t Vantix_GetGrayGainR(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayGainG1(int32_t handle, int32_t value);
int32_t Vantix_GetGrayGainG1(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayGainG2(int32_t handle, int32_t value);
int32_t Vantix_GetGrayGainG2(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayGainB(int32_t handle, int32_t value);
int32_t Vantix_GetGrayGainB(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayOffsetR(int32_t handle, int32_t value);
int32_t Vantix_GetGrayOffsetR(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayOffsetG1(int32_t handle, int32_t value);
int32_t Vantix_GetGrayOffsetG1(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayOffsetG2(int32_t handle, int32_t value);
int32_t Vantix_GetGrayOffsetG2(int32_t handle, int32_t* ok);
int32_t Vantix_SetGrayOffsetB(int32_t handle, int32_t value);
int32_t Vantix_GetGrayOffsetB(int32_t handle, int32_t* ok);
int32_t Vantix_SetPeltier(int32_t handle, int32_t value);
int32_t Vantix_GetPeltier(int32_t handle, int32_t* ok);
int32_t Vantix_GetTemperature(int32_t handle, int32_t* ok);
int32_t Vantix_SetDotFilter(int32_t handle, int32_t value);
int32_t Vantix_GetDotFilter(int32_t handle, int32_t* ok);
int32_t Vantix_SetMaskFilter(int32_t handle, int32_t value);
int32_t Vantix_GetMaskFilter(int32_t handle, int32_t* ok);
int32_t Vantix_ReadRegister(int32_t handle, int32_t reg, int32_t* ok);
int32_t Vantix_ReadRegisterEx(int32_t handle, int32_t reg, int32_t* ok);
int32_t Vantix_WriteRegister(int32_t handle, int32_t reg, int32_t value);
int32_t Vantix_WriteRegisterEx(int32_t handle, int32_t reg, int32_t value);
int32_t Vantix_Fpga_ReadRegister(int32_t handle, int32_t reg, int32_t* ok);
int32_t Vantix_Fpga_WriteRegister(int32_t handle, int32_t reg, int32_t value);
int32_t Vantix_ReadSromID(int32_t handle, int32_t address, int32_t* ok);
int32_t Vantix_WriteSromID(int32_t handle, int32_t address, int32_t value);
int32_t Vantix_GetIOPort(int32_t handle, uint8_t* value);
int32_t Vantix_SetIOPort(int32_t handle, uint8_t value);
int32_t Vantix_SendText(int32_t handle, char* text, int32_t length);
int32_t Vantix_ReceiveText(int32_t handle, char* text, int32_t length);
int32_t Vantix_LoadConfigFileA(int32_t handle, const char* fileName);
int32_t Vantix_LoadConfigFileW(int32_t handle, const char16_t* fileName);
int32_t Vantix_LoadMaskFile(int32_t handle, const char* fileName);
int32_t Vantix_LoadMaskFileW(int32_t handle, const char16_t* fileName);
int32_t Vantix_SaveMaskFile(int32_t handle, const char* fileName);
int32_t Vantix_SaveMaskFileW(int32_t handle, const char16_t* fileName);
int32_t Vantix_UpdateMaskData(int32_t handle, int32_t which);
int32_t Vantix_SetCameraDlg(int32_t handle, VantixHwnd owner);
int32_t Vantix_SetImageDlg(int32_t handle, VantixHwnd owner);
int32_t Vantix_SetAnalogDlg(int32_t handle, VantixHwnd owner);
int32_t Vantix_Trigger(int32_t handle);
int32_t Vantix_Fps(int32_t handle);
int32_t Vantix_GetHalfClock(int32_t handle);
int32_t Vantix_SetHalfClock(int32_t handle, int32_t value);
int32_t Vantix_GetInternalCorrection(int32_t handle);
int32_t Vantix_SetInternalCorrection(int32_t handle, int32_t value);
int32_t Vantix_SetCrossbar(int32_t handle, int32_t value);
VantixHwnd VantixExt_CreateMessageWindow(VantixWindowProc proc, void* user);
VantixHwnd VantixExt_CreatePollableWindow(void);
VantixHwnd VantixExt_WrapX11Window(unsigned long window);
unsigned long VantixExt_GetX11Window(VantixHwnd window);
int32_t VantixExt_GetMessageFd(VantixHwnd window);
int32_t VantixExt_GetMessage(VantixHwnd window, VantixMessage* message, uint32_t timeoutMs);
int32_t VantixExt_PostMessage(VantixHwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);
int32_t VantixExt_DestroyWindow(VantixHwnd window);
int32_t VantixExt_GetSettingsPath(char* buffer, int32_t size);
int32_t VantixExt_GetSettingsText(const char* key, char* buffer, int32_t size);
int32_t VantixExt_ExportSettings(const char* key, const char* file);
int32_t VantixExt_ImportSettings(const char* file);
int32_t VantixExt_CheckSettingsFile(const char* file, int32_t* line, char* text, int32_t size);
int32_t VantixExt_DeleteSettingsKey(const char* key);
int32_t VantixExt_SetSettingsAutosave(int32_t handle, int32_t on);
const char* VantixExt_GetErrorText(int32_t code);
int32_t VantixExt_GetWindowRules(int32_t handle, VantixWindowRules* rules);
int32_t VantixExt_GetFrameMetadata(int32_t handle, VantixFrameMetadata* metadata);
int32_t VantixExt_GetDeviceDetails(int32_t handle, int32_t instance, VantixDeviceDetails* details);
int32_t VantixExt_GetAttachedCamera(int32_t handle, int32_t position, VantixDeviceDetails* details);
int32_t VantixExt_SetModelId(int32_t handle, int32_t modelId);
int32_t VantixExt_GetModelId(int32_t handle);
int32_t VantixExt_SetVirtualCameraPlugged(const char* path, int32_t plugged);
"""


def parse(declarations: str = DECLARATIONS) -> Dict[str, Tuple[str, List[str]]]:
    """Name -> (result type, argument types) of each prototype line."""
    parsed: Dict[str, Tuple[str, List[str]]] = {}
    for line in declarations.strip().splitlines():
        head, _, rest = line.partition("(")
        result, name = head.rsplit(" ", 1)
        arguments = rest.rstrip(");").strip()
        types = []
        if arguments != "void":
            for argument in arguments.split(","):
                words = argument.strip().rsplit(" ", 1)
                types.append(" ".join(words[0].split()))
        parsed[name] = (" ".join(result.split()), types)
    return parsed


def _ctype(name: str) -> Optional[type]:
    if name not in _TYPES:
        raise TypeError(f"no ctypes type for C type {name!r}")
    return _TYPES[name]


def declare(library: ctypes.CDLL) -> None:
    """Sets argtypes and restype of every declared function of `library`."""
    for name, (result, arguments) in parse().items():
        function = getattr(library, name)
        function.restype = _ctype(result)
        function.argtypes = [_ctype(t) for t in arguments]
