// Session operations whose machinery (camera engine, image pipeline, files,
// dialogs) is not part of the library yet. Each reports code 11 (not
// supported) and returns its failure value, so an application sees a clear
// failure instead of a silent no-op. The exports that reach them are listed in
// api/pending_exports.h; a test calls every one of them.
#include "session/error_codes.h"
#include "session/vantix_session.h"

namespace {
void ClearFlag(int32_t* ok) {
    if (ok != nullptr) *ok = 0;
}
}  // namespace

int32_t CVantix::ReportNotBuilt() {
    RecordError(vantix::kErrorNotSupported);
    return 0;
}

int32_t CVantix::EnumDevice(char*) { return ReportNotBuilt(); }
int32_t CVantix::EnumDeviceW(char16_t*) { return ReportNotBuilt(); }
int32_t CVantix::GetDeviceName(int32_t, char*, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::GetDeviceNameW(int32_t, char16_t*, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::GetCameraInfo(VantixCameraInfo*) { return ReportNotBuilt(); }

int32_t CVantix::Preview() { return ReportNotBuilt(); }
int32_t CVantix::Capture() { return ReportNotBuilt(); }
int32_t CVantix::Close() { return ReportNotBuilt(); }
int32_t CVantix::StartPreview() { return ReportNotBuilt(); }
int32_t CVantix::StopPreview() { return ReportNotBuilt(); }
int32_t CVantix::CallBackPreview(VantixHwnd, void*, int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::SnapShot(void*, int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::GetImage(void*, int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::Record(const char*, int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::SaveImage(const char*, int32_t) { return ReportNotBuilt(); }

int32_t CVantix::SetPreviewWindow(VantixHwnd, int32_t, int32_t, int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::SetCaptureWindow(int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::SetCaptureWindowEx(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return ReportNotBuilt();
}
int32_t CVantix::SetMirrorH(int32_t) { return ReportNotBuilt(); }
int32_t CVantix::SetMirrorV(int32_t) { return ReportNotBuilt(); }
int32_t CVantix::GetMirrorH() { return ReportNotBuilt(); }
int32_t CVantix::GetMirrorV() { return ReportNotBuilt(); }

int32_t CVantix::SetFilterValue(int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::GetFilterValue(int32_t, int32_t* ok) {
    ClearFlag(ok);
    return ReportNotBuilt();
}
int32_t CVantix::SetExposureTimeEx(double) { return ReportNotBuilt(); }
double CVantix::GetExposureTimeEx(int32_t* ok) {
    ClearFlag(ok);
    ReportNotBuilt();
    return -1.0;
}
int32_t CVantix::SetRealExposureTime(int32_t) { return ReportNotBuilt(); }
int32_t CVantix::GetRealExposureTime(int32_t* ok) {
    ClearFlag(ok);
    return ReportNotBuilt();
}
double CVantix::GetTemperatureEx(int32_t* ok) {
    ClearFlag(ok);
    ReportNotBuilt();
    return 0.0;
}
int32_t CVantix::SetSamplingRate(int32_t) { return ReportNotBuilt(); }

int32_t CVantix::ReadRegister(int32_t, int32_t* ok) {
    ClearFlag(ok);
    return ReportNotBuilt();
}
int32_t CVantix::WriteRegister(int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::ReadFpgaRegister(int32_t, int32_t* ok) {
    ClearFlag(ok);
    return ReportNotBuilt();
}
int32_t CVantix::WriteFpgaRegister(int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::ReadSrom(int32_t, int32_t* ok) {
    ClearFlag(ok);
    return ReportNotBuilt();
}
int32_t CVantix::WriteSrom(int32_t, int32_t) { return ReportNotBuilt(); }
int32_t CVantix::GetIOPort(uint8_t*) { return ReportNotBuilt(); }
int32_t CVantix::SetIOPort(uint8_t) { return ReportNotBuilt(); }

int32_t CVantix::LoadMaskFile(const char*) { return ReportNotBuilt(); }
int32_t CVantix::SaveMaskFile(const char*) { return ReportNotBuilt(); }
int32_t CVantix::UpdateMaskData(int32_t) { return ReportNotBuilt(); }
int32_t CVantix::SetCameraDlg(VantixHwnd) { return ReportNotBuilt(); }
int32_t CVantix::SetImageDlg(VantixHwnd) { return ReportNotBuilt(); }
int32_t CVantix::SetAnalogDlg(VantixHwnd) { return ReportNotBuilt(); }
