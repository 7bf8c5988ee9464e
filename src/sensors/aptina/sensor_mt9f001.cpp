// CSensorMT9F001: power-on and window programming; the rest is the family's.
#include "sensors/aptina/sensor_mt9f001.h"

#include <array>

#include "platform/clock.h"
#include "sensors/aptina/aptina_members.h"
#include "sensors/aptina/aptina_sensors.h"

namespace vantix {
namespace {

using aptina::RegisterValue;
namespace reg = aptina::reg;

constexpr uint32_t kResetSettleMs = 100;
// Read-mode bit set with every window (row timing of the read-out).
constexpr uint16_t kReadModeWindowBit = 0x0200;
// Reset control with streaming on, as every window leaves it.
constexpr uint16_t kResetControlStreaming = 0x10DE;
constexpr uint16_t kScalingModeValue = 2;
constexpr uint16_t kUnusedTrimRegister = 0x3026;

// Vendor power-on settings chosen for this library. Sent in this order after
// the reset: interface and clock set-up, the PLL (96 MHz pixel clock), then
// analog and timing settings.
constexpr RegisterValue kPowerUpSettings[] = {
    {0x301A, 0x10D0}, {0x0008, 336},    {0x301A, 0x10D8}, {0x316C, 0xB468}, {0x3044, 0x0594},
    // PLL: 0x0300 .. 0x030A.
    {0x0300, 4},      {0x0302, 1},      {0x0304, 4},      {0x0306, 128},    {0x0308, 8},
    {0x030A, 1},
    {0x3064, 0x0805}, {0x0112, 0x0C0C}, {0x301A, 0x10DC}, {0x0103, 1},      {0x301A, 0x0010},
    {0x31AE, 0x0301}, {0x3154, 0x2C00}, {0x3156, 0x4A80}, {0x30D4, 0xB400}, {0x3ED2, 0xAF60},
    {0x3EE4, 0x630D}, {0x3EE8, 70},
};

// The sequencer program the sensor runs its read-out from, loaded at power-on
// one word per register from 0x3D00 up to 0x3ECA. The words are the vendor
// power-on settings chosen for this library.
constexpr uint16_t kSequencerStart = 0x3D00;
constexpr uint16_t kSequencerEnd = 0x3ECA;
constexpr std::array<uint16_t, (kSequencerEnd - kSequencerStart) / 2 + 1> kSequencerProgram = {
    0xEEBF, 0xD667, 0x7095, 0x3208, 0x2513, 0x69C5, 0x8B00, 0x0E05, 0x8F83, 0x6A24,
    0x6018, 0x422E, 0x5104, 0xBE6D, 0x21A9, 0xA653, 0x1B94, 0x2DFC, 0x4695, 0x1F13,
    0x4ED8, 0xEBC9, 0x414E, 0xDB3D, 0xDA9F, 0xC055, 0x4AA0, 0xB7AD, 0x7C1D, 0xD6A4,
    0x62E6, 0xFFEE, 0xE2EA, 0x36A1, 0x7412, 0x512C, 0x884F, 0x3798, 0x1EE5, 0x3F53,
    0x0E98, 0xFBB9, 0x0D2A, 0xFE66, 0xCD00, 0x6B26, 0xA25A, 0x921D, 0x4FD3, 0xA600,
    0xF553, 0xA1FD, 0x0D52, 0xA400, 0xF652, 0xE23D, 0x3FC3, 0xF22C, 0xBA5E, 0x8114,
    0x1A11, 0x8A98, 0x3DFB, 0xDB1B, 0xE6B0, 0x51EF, 0x9A3C, 0xFA7E, 0xD91C, 0x6037,
    0xF18A, 0xA490, 0x0AE6, 0xA3DA, 0xB3FD, 0x165B, 0xFDC6, 0xD7C9, 0x6350, 0xFE35,
    0x23C7, 0xE727, 0xE99D, 0x290E, 0xF759, 0xAFF4, 0x8BDE, 0x88EC, 0x6D93, 0xE541,
    0xA6E3, 0xDF08, 0x7E25, 0xFF93, 0x3E08, 0x2F15, 0x62C7, 0x4647, 0x90F5, 0xEA00,
    0x9F75, 0xC2E7, 0x8E3F, 0x66F7, 0x6479, 0x8DD5, 0x0166, 0x8D3F, 0xA4B6, 0x36C9,
    0x3260, 0x6361, 0x5B88, 0x58C7, 0x615A, 0xF03C, 0xA54B, 0xCBCB, 0x725C, 0x2E72,
    0x6E79, 0x82D0, 0x4FA5, 0xF66B, 0x498A, 0x40CC, 0xF9DF, 0x4254, 0x0860, 0x447C,
    0x3B41, 0x178C, 0x35E4, 0x4087, 0x0506, 0xC345, 0x94F5, 0xEC02, 0x9974, 0x4665,
    0xABDF, 0x397D, 0x39BE, 0x2BCD, 0xE62B, 0x21D2, 0x7EB6, 0x81A4, 0xDE8D, 0xD941,
    0x84FD, 0xFA00, 0x877D, 0xD8E1, 0x9D35, 0xB1B6, 0xE983, 0x3F17, 0x79CD, 0x9D02,
    0x100C, 0x1107, 0x5CCE, 0xE8D3, 0x9213, 0x45DE, 0x218B, 0x9D79, 0xC8E9, 0x8B37,
    0xAFBF, 0x7707, 0x09FD, 0xF106, 0x4D3F, 0x04D6, 0x8EE1, 0xE01E, 0x8669, 0x02B0,
    0xC79D, 0x1019, 0x8B97, 0x7737, 0x2DC1, 0xEA27, 0x22DB, 0x337C, 0xB73A, 0x052F,
    0x74E6, 0xE2E5, 0xBD2D, 0x93B8, 0xD09F, 0xCF50, 0x0463, 0xCCF9, 0x9121, 0xA0A1,
    0xA959, 0xDEDB, 0xB102, 0x2A1A, 0x2E09, 0xB69C, 0x18E0, 0xBCD4, 0x69BF, 0xD264,
    0xF414, 0x956B, 0xDBFB, 0x4E68, 0x2F55, 0x1297, 0x623B, 0xFB84, 0xA198, 0xC3AE,
    0xB0A4, 0x37D5, 0xE63B, 0x3DC6, 0x77A9, 0xDB78, 0x2C4B, 0xC6CF, 0xBE1F, 0x76C7,
};

// Analog trim and timing after the sequencer program.
constexpr RegisterValue kAnalogSettings[] = {
    {0x3EDC, 21199}, {0x3EDE, 9042},  {0x3EE0, 52360}, {0x3EE2, 53603}, {0x301E, 168},
    {0x0100, 0},     {0x306E, 0x9080}, {0x3176, 0},    {0x3178, 0},     {0x3178, 0},
    {0x3016, 257},   {0x3012, 3430},  {0x0100, 0},
    // Digital gains of the four colour channels (16 = 1x), then their analog pair (256 = 1x).
    {0x0206, 16},    {0x0208, 16},    {0x020A, 16},    {0x020C, 16},
    {0x020E, 256},   {0x0210, 256},   {0x0212, 256},   {0x0214, 256},
};

// After the trim register has been read: its final value, streaming on.
constexpr RegisterValue kStreamSettings[] = {
    {kUnusedTrimRegister, 0xFC7F}, {reg::kResetControl, 0x11DC}, {0x3070, 0},
};

}  // namespace

CSensorMT9F001::CSensorMT9F001(CControllerBase* controller, uint8_t deviceAddress)
    : CAptinaSensor(controller, deviceAddress, aptina::kMT9F001) {}

int32_t CSensorMT9F001::Initialize() {
    if (!controller_) return 0;
    WriteRegister(reg::kResetControl, 1);
    Sleep(kResetSettleMs);
    WriteTable(kPowerUpSettings);
    for (size_t i = 0; i < kSequencerProgram.size(); ++i) {
        WriteRegister(kSequencerStart + 2 * static_cast<uint32_t>(i), kSequencerProgram[i]);
    }
    WriteTable(kAnalogSettings);
    // The trim register is read before it is replaced whole; the value is not needed.
    uint32_t unused = 0;
    ReadRegister(kUnusedTrimRegister, &unused);
    WriteTable(kStreamSettings);
    return ApplyDefaultSettings();
}

int32_t CSensorMT9F001::SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) {
    if (!WindowIsValid(x, width, y, height, mode)) return 0;
    uint32_t readMode = 0;
    if (ReadRegister(reg::kReadMode, &readMode)) readModeShadow_ = static_cast<uint16_t>(readMode);
    readModeShadow_ = ReadModeForArea(readModeShadow_ | kReadModeWindowBit, mode);
    const int32_t outWidth = aptina::BinnedSize(width, mode);
    const int32_t outHeight = aptina::BinnedSize(height, mode);
    const int32_t lineLength = LineLength(mode, outWidth);
    const int32_t frameLength = outHeight + k_.frameBlank;

    // The parameter hold makes the sensor take the whole window at one frame start.
    const RegisterValue window[] = {
        {reg::kParameterHold, 1},
        {reg::kXStart, static_cast<uint16_t>(x + k_.columnOffset)},
        {reg::kXEnd, static_cast<uint16_t>(x + width + k_.columnOffset - 1)},
        {reg::kYStart, static_cast<uint16_t>(y + k_.rowOffset)},
        {reg::kYEnd, static_cast<uint16_t>(y + height + k_.rowOffset - 1)},
        {reg::kScalingMode, kScalingModeValue},
        {reg::kScaleFactor, reg::kScaleFactorValue},
        {reg::kOutputWidth, static_cast<uint16_t>(outWidth)},
        {reg::kOutputHeight, static_cast<uint16_t>(outHeight)},
        {reg::kLineLength, static_cast<uint16_t>(lineLength)},
        {reg::kFrameLength, static_cast<uint16_t>(frameLength)},
        {reg::kFineCorrection, reg::kFineCorrectionValue},
        {reg::kFineIntegration, reg::kFineIntegrationValue},
        {reg::kResetControl, kResetControlStreaming},
        {reg::kParameterHold, 0},
        {reg::kReadMode, readModeShadow_},
    };
    if (!WriteEach(window)) return 0;

    SetMirrorV(info_.mirrorV);
    info_.areaX = x + k_.columnOffset;
    info_.areaY = y;
    info_.areaWidth = outWidth;
    info_.areaHeight = outHeight;
    info_.areaMode = mode;
    info_.totalWidth = lineLength;
    info_.totalHeight = frameLength;
    // The line time changed: program the same time in lines of the new length.
    SetExposureTime(info_.exposureTime.current);
    return 1;
}

std::unique_ptr<CSensorBase> MakeSensorMT9F001(CControllerBase* controller, uint8_t deviceAddress) {
    return std::make_unique<CSensorMT9F001>(controller, deviceAddress);
}

}  // namespace vantix
