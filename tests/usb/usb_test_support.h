#pragma once
// What the USB tests share: a fixture that plugs cameras on the test bed and
// takes them off again, and sessions opened through the public interface.
#include <gtest/gtest.h>
#include <vantix/exports.h>
#include <vantix/linux_ext.h>

#include <cstdint>
#include <string>
#include <vector>

#include "usb/usb_test_bed.h"

namespace vantix::usbtest {

inline constexpr int32_t kTestWidth = 640;
inline constexpr int32_t kTestHeight = 480;

class UsbCameraTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Plugs a camera and waits until the library lists `expectListed`
    // cameras of model 0x3040.
    int Plug(const PlugOptions& options, int32_t expectListed);
    UsbTestBed& Bed() { return UsbTestBed::Instance(); }
};

// Polls the library until it lists `count` cameras of its model; false after 10 s.
bool WaitUntilListed(int32_t count);

// A session on camera `index` with a small capture window; 0 on failure.
int32_t OpenCamera(int32_t index);

// Waits for the next frame message (wParam non-zero) on `window`, or for an
// error frame message (wParam 0), whose code goes to *error. False on time-out.
bool NextFrameMessage(VantixHwnd window, uint32_t timeoutMs, int32_t* error);

// The frame count in an AVI file's main header; -1 when it is not a
// finalised AVI (its RIFF size must cover the file).
int64_t AviFrameCount(const std::string& path);

std::string TempPath(const std::string& name);

}  // namespace vantix::usbtest
