#pragma once
// The FPGA registers the camera engine programs, by what they do for it.
// Register numbers are the camera firmware's; the 16-bit ones are written
// low byte first into two consecutive registers.
#include <cstdint>

namespace vantix::fpga {

inline constexpr uint8_t kFrameCounter = 8;         // low byte of the frame counter
inline constexpr uint8_t kHeightLow = 64;           // window height, 64/65
inline constexpr uint8_t kWidthLow = 68;            // window width, 68/69
inline constexpr uint8_t kWideHeightLow = 154;      // the same on heads with a wider map, 154/155
inline constexpr uint8_t kWideWidthLow = 156;       // 156/157
inline constexpr uint8_t kReadoutStart = 72;        // 72/73: first line or column the FPGA keeps
inline constexpr uint8_t kReadoutOffset = 76;       // 76/77
inline constexpr uint8_t kStreamControl = 104;
inline constexpr uint8_t kBitDepth = 0x3C;          // 2: 16-bit samples, 1: 8-bit
inline constexpr uint8_t kConverterDepth = 0x3D;    // the video converter's depth mode
inline constexpr uint8_t kWideBitDepth = 0xA3;      // 2: 16-bit samples, 1: 8-bit
inline constexpr uint8_t kTrigger = 36;             // trigger gate
inline constexpr uint8_t kTriggerArm = 48;
inline constexpr uint8_t kOptionSwitch = 144;       // 15 on, 8 off
inline constexpr uint8_t kOptionBits = 209;         // bit 0: the option switch
inline constexpr uint8_t kFirmwareRevision = 17;
// The head power sequence: 56 off, 62 = 3, 56 on.
inline constexpr uint8_t kHeadPower = 56;
inline constexpr uint8_t kHeadPowerMode = 62;
// A booting head processor reports through these two.
inline constexpr uint8_t kHeadStatus = 16;
inline constexpr uint8_t kHeadBootLevel = 19;
// The CCD heads' clock drivers, stopped in this order (37 first).
inline constexpr uint8_t kCcdClockFirst = 37;
inline constexpr uint8_t kCcdClocks[] = {36, 31, 35, 34, 32, 33, 224};

}  // namespace vantix::fpga
