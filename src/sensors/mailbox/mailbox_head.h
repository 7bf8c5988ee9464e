#pragma once
// CMailboxHead: the family base of the heads whose sensor belongs to a
// microcontroller behind the FPGA (CSensorQ119, CSensorQ123). The host never
// writes the sensor: it stages values in FPGA mailbox registers, writes a
// command code to register 160 and waits for the busy bit of register 32.
// The base holds the mailbox protocol and what both heads share (detection,
// initialisation, exposure, trigger, temperature, sensor mode, the
// information block); a member keeps its window, gain and output rules.
// Everything in which the members differ as numbers is one MailboxConstants
// record per member, side by side in mailbox_members.h.
#include <cstdint>

#include "sensors/sensor_base.h"
#include "transport/controller_base.h"

namespace vantix::mailbox {

// FPGA registers of the mailbox.
namespace reg {
inline constexpr uint8_t kStatus = 32;        // bit 0: the microcontroller is busy
inline constexpr uint8_t kReadWindow = 64;    // sensor registers 64-95 after a read command
inline constexpr uint8_t kModeStatus = 96;    // high nibble 0x5: the extended sensor mode is on
inline constexpr uint8_t kLineLengthRead = 102;  // 102/103: low byte, bits 8-13
inline constexpr uint8_t kInfoBlock = 116;    // 116-123
inline constexpr uint8_t kOutputMode = 128;   // output mode, scan flag
inline constexpr uint8_t kGainMode = 136;     // must hold kGainModeDirect
inline constexpr uint8_t kGainLow = 138;      // 138/139
inline constexpr uint8_t kReadoutMode = 144;
inline constexpr uint8_t kTrigger = 152;
inline constexpr uint8_t kReadoutControl = 153;
inline constexpr uint8_t kFrameHeight = 154;  // 154/155: low byte, bits 8-11
inline constexpr uint8_t kCommand = 160;
inline constexpr uint8_t kTemperature = 169;  // 169/170: low, high byte
inline constexpr uint8_t kWriteWindow = 192;  // sensor register n is staged at n + 128
inline constexpr uint8_t kMirrorH = 216;
inline constexpr uint8_t kMirrorV = 217;
inline constexpr uint8_t kSensorMode = 224;
inline constexpr uint8_t kExposure = 226;     // 226-229: lines, least significant byte first
inline constexpr uint8_t kLineLength = 230;   // 230/231: low byte, bits 8-13
inline constexpr uint8_t kFirstRow = 233;     // 233/234: low byte, bits 8-11
inline constexpr uint8_t kFrameHeightPlus2 = 235;  // 235/236
}  // namespace reg

// Command codes of register 160.
enum class Command : uint8_t {
    CommitWrites = 1,    // the write window into the sensor
    ReadSensor = 2,      // the sensor into the read window (and the temperature)
    ApplyTiming = 4,     // exposure, window and mode codes
    RefreshStatus = 8,   // status, line length and information block
};

inline constexpr uint8_t kGainModeDirect = 7;
inline constexpr uint8_t kReadoutControlInitial = 86;
inline constexpr uint8_t kReadoutControlSensorMode = 98;
inline constexpr uint8_t kSensorModeOn = 95;
inline constexpr uint8_t kSensorModeOff = 79;
// The mailbox's busy bit is polled this often, this far apart: a command that
// does not finish within 200 x 5 ms (1 s, plus the reads themselves) fails.
inline constexpr int kBusyPolls = 200;
inline constexpr uint32_t kBusyPollMs = 5;

struct MailboxConstants {
    int32_t maxWidth, maxHeight, defaultWidth, defaultHeight;
    ParameterRange gain;
    // Exposure in lines; `unsignedLines`: the head takes the full 32-bit
    // range, and the record's words hold it as unsigned values.
    ParameterRange exposureLines;
    bool unsignedLines;
    ParameterRange exposureTime;
    double exposureSecondsMin, exposureSecondsMax, exposureSecondsDefault;
    ParameterRange blackLevel, gainStep;
    int32_t mirrorSupported;
    int32_t pixelClockKHz;
    int32_t variant;
    // Detection: the head's status byte (bus device 0x5F) is read every
    // detectPauseMs, at most detectAttempts times (0: no count) within
    // detectLimitMs, and ready when its low four bits are 0. With
    // `secondStatus` the head reports ready twice (a second wait of the same
    // length follows the first).
    int detectAttempts;
    uint32_t detectLimitMs;
    bool secondStatus;
    // Degrees Celsius = code x slope + offset.
    double temperatureSlope, temperatureOffset;
    // Sensor register 65 with the extended mode on and off (register 69 is
    // the same on both heads).
    uint8_t sensorMode65On, sensorMode65Off;
};

}  // namespace vantix::mailbox

namespace vantix {

class CMailboxHead : public CSensorBase {
public:
    // The head's status until it is ready (see MailboxConstants).
    int32_t Detect() override;
    // Detection again, readout control, the line length, the default window
    // and the information block. Fails when the mailbox does not answer.
    int32_t Initialize() override;
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    int32_t SetExposureSeconds(double seconds) override;
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;
    int32_t IsTemperatureSupported() override { return 1; }
    int32_t GetTemperature(double* celsius) override;
    // Firmware above 22.
    int32_t IsSensorModeSupported() override;
    int32_t GetSensorMode(int32_t* state) override;
    int32_t SetSensorMode(int32_t on) override;
    // Valid when its 32-bit number exceeds 7.
    int32_t IsInfoBlockValid() override;
    int32_t GetInfoBlock(int32_t* value, int16_t* word, uint8_t bytes[2]) override;
    int32_t IsOutputModeSupported() override { return 1; }

    // The line length in pixel clocks as last read from the head.
    int32_t LineLengthClocks() const { return lineLength_; }

protected:
    CMailboxHead(CControllerBase* controller, uint8_t deviceAddress, const mailbox::MailboxConstants& constants);

    bool WriteByte(uint8_t reg, uint8_t value);
    bool ReadByte(uint8_t reg, uint8_t* value);
    // Writes the command code and waits for the busy bit to clear.
    bool RunCommand(mailbox::Command command);
    // Polls the busy bit (see kBusyPolls); a failed read fails the wait.
    bool WaitWhileBusy();
    // Command 8, then registers 102/103.
    bool ReadLineLength();
    // A 12-bit value in a low byte and a high nibble register.
    bool WriteWord12(uint8_t lowReg, int32_t value);
    // Lines = trunc(us / line time), within the lines range.
    int32_t SetExposureMicroseconds(uint64_t microseconds) override;
    // The staged values of sensor registers 65 and 69 for the sensor mode.
    bool StageSensorMode(bool on);

    const mailbox::MailboxConstants& k_;
    int32_t lineLength_ = 0;

private:
    bool ReadInfoBlock();

    int32_t infoNumber_ = 0;
    int16_t infoWord_ = 0;
    uint8_t infoBytes_[2] = {0, 0};
};

}  // namespace vantix
