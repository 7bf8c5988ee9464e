#pragma once
// What the camera engine does differently per model, as data. Each model's
// catalog row holds one EngineFacts; the defaults describe the common camera
// (an FPGA head streaming header and payload), so a row names only what
// differs. The enumerated rules are carried out by the engine's model hooks
// (engine/model_hooks.cpp), one switch per rule without a default.
#include <cstdint>

namespace vantix {

// How the camera delivers frames.
enum class StreamKind : uint8_t {
    HeaderAndPayload,  // a 64-byte header, then the payload in pieces, on 0x81
    DirectFrames,      // whole frames without a header on the direct endpoint; the
                       // camera, not an FPGA of the host's, sizes them
};

// Where the FPGA takes the window size from.
enum class FpgaWindow : uint8_t {
    Standard,  // width in registers 68/69, height in 64/65
    Wide,      // width in 156/157, height in 154/155 (heads with a wider register map)
    CameraSized,  // no FPGA window: the camera sizes its own frames
};

// How a transfer depth (8 or 16 bits) is set.
enum class DepthControl : uint8_t {
    FpgaRegister,        // FPGA register 0x3C = 2 (16 bits) or 1
    SensorThenFpga,      // the sensor's SetBitDepth first, then register 0x3C
    ConverterRegister,   // register 0x3D = mode (0-2); register 0x3C if that fails
    WideRegister,        // register 0xA3 = 2 (16 bits) or 1; register 0x3C if that fails
    FixedSixteenBits,    // always the 16-bit setting of register 0x3C
    ModeByte,            // the controller's mode byte (vendor request) instead of a register
};

// What InitCamera does before it detects the sensor.
enum class WakeUp : uint8_t {
    NotNeeded,
    CameraOwnsSensorBus,   // tell the sensor to talk through the camera's registers
    FpgaPowerSequence,     // FPGA 56 = 0, 62 = 3, 56 = 1
    HandshakeIfSilent,     // the sensor's Handshake when Detect fails once
    WaitForHeadProcessor,  // poll the ready flag while the head's processor boots
};

// What the FPGA is told about the readout after the window size.
enum class ReadoutRule : uint8_t {
    WindowOnly,          // the window size is all
    SettlePause,         // 200 ms for the sensor to settle
    CcdWindow192,        // 64 = 192
    CcdWindow34Strobe,   // 64 = 34, then the settings strobe
    ByFirmwareRevision,  // start and offset chosen by FPGA register 17
    Imx174,              // fixed start 11, offset 0, stream control 0
    Converter,           // start 20, offset 136
    RightAligned,        // start 11; offset = columns right of the window (binned: 0)
    RightAligned252,     // as RightAligned, start 12 outside area mode 1
    LeftAligned252,      // start 11 in area mode 1, else 12; offset 0
    MailboxHead,         // start 20, offset 136, byte by byte
    Imx226,              // start and offset from the window, the area mode and mirror H
    Imx990,              // start and offset from the area mode, the height and mirror V
    Li7050,              // start 39, offset 79, byte by byte, then the settings strobe
    Glux9701,            // start 10, offset 32
    Imx536,              // start 44 (area modes) or 68; offset 0
    Imx273,              // start and offset from the window, the area mode and mirror H
};

// How SetTriggerMode reaches the camera.
enum class TriggerRule : uint8_t {
    SensorOnly,             // the sensor's SetTriggerMode; mode 1 reads the frame counter
    FpgaGateWithHeaderCount,  // FPGA 36 gates; a header-only capture learns the counter
    ArmRegister,            // FPGA 48 arms the trigger around the sensor's trigger mode
    FpgaMaskOnly,           // FPGA 36 = mode & 0x83, the sensor is not involved
    WaitForTriggeredFrame,  // mode 1 starts a triggered capture and waits for its frame
};

// The option switch (slots 124-126).
enum class OptionSwitch : uint8_t {
    NotFitted,
    FpgaLevel,           // FPGA 144: 15 on, 8 off
    ReadoutModeMemory,   // the sensor's readout mode, remembered in the user EEPROM
    FpgaBit,             // bit 0 of FPGA 209, on heads whose firmware has bit 15 set
};

struct EngineFacts {
    StreamKind stream = StreamKind::HeaderAndPayload;
    FpgaWindow fpgaWindow = FpgaWindow::Standard;
    // False: the host has no FPGA register access (the engine's FPGA register
    // calls fail).
    bool fpgaRegisters = true;
    DepthControl depth = DepthControl::FpgaRegister;
    // Image planes per frame (the video converter sends three).
    uint8_t planes = 1;
    WakeUp wakeUp = WakeUp::NotNeeded;
    ReadoutRule readout = ReadoutRule::WindowOnly;
    TriggerRule trigger = TriggerRule::SensorOnly;
    OptionSwitch optionSwitch = OptionSwitch::NotFitted;
    // Close puts the CCD head's clocks to rest first.
    bool restClocksOnClose = false;
    // ResetStream pulses the settings strobe, then pauses this long.
    bool strobeOnStreamReset = true;
    uint16_t streamResetPauseMs = 0;
    // The fastest clock mode needs a SuperSpeed link.
    bool fastClockNeedsSuperSpeed = true;
    // The stream pipe is reset before the stream reopens after a lost frame.
    bool resetPipeOnRecovery = false;
    // A triggered frame that is lost ends the capture at once.
    bool lostTriggeredFrameEndsCapture = false;
    // Exposure reaches the sensor between frames, from the acquisition thread.
    bool exposureBetweenFrames = false;
    // The head has a serial text channel.
    bool textChannel = false;
    // Without a valid information block the last image row carries status data.
    bool lastRowCarriesStatus = false;
};

}  // namespace vantix
