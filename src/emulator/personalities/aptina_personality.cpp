#include "emulator/personalities/aptina_personality.h"

#include "emulator/virtual_models.h"

namespace vantix::emulator {
namespace {

// Power-on register values. Chip versions: MT9F002 0x2E01 (what the 0x3020
// board probe looks for), MT9F001 0x2D01, MT9J001 0x2C01, MT9P001 0x1801
// with the analog-settings revision bits (0xE0) in register 0xFD. Window and
// timing registers describe the full array; the exposure and gain values are
// the ones the driver programs by default, so Brightness() starts at 1.
constexpr RegisterWord kMt9f001PowerOn[] = {
    {0x0000, 0x2D01}, {0x0340, 3434}, {0x0342, 4920}, {0x034C, 4608}, {0x034E, 3288},
    {0x0400, 2},      {0x0404, 16},   {0x3012, 3422}, {0x3040, 0x0041}, {0x301A, 0x0010},
    {0x305E, 0x1140}, {0x3056, 0x1140}, {0x3058, 0x1140}, {0x305A, 0x1140}, {0x305C, 0x1140},
};
constexpr RegisterWord kMt9f002PowerOn[] = {
    {0x0000, 0x2E01}, {0x0340, 3434}, {0x0342, 4920}, {0x034C, 4608}, {0x034E, 3288},
    {0x0400, 2},      {0x0404, 16},   {0x3012, 3422}, {0x3040, 0x0041}, {0x301A, 0x0010},
    {0x305E, 0x1140}, {0x3056, 0x1140}, {0x3058, 0x1140}, {0x305A, 0x1140}, {0x305C, 0x1140},
};
constexpr RegisterWord kMt9j001PowerOn[] = {
    {0x0000, 0x2C01}, {0x0302, 1},    {0x0340, 2988}, {0x0342, 4436}, {0x034C, 3840},
    {0x034E, 2752},   {0x0400, 0},    {0x0404, 16},   {0x0202, 3163}, {0x3040, 0x0041},
    {0x301A, 0x10DC}, {0x305E, 0x10C0}, {0x3056, 0x10C0}, {0x3058, 0x10C0}, {0x305A, 0x10C0},
    {0x305C, 0x10C0},
};
constexpr RegisterWord kMt9p001PowerOn[] = {
    {0x00, 0x1801}, {0x01, 52},   {0x02, 16},     {0x03, 1943},   {0x04, 2591}, {0x05, 312},
    {0x06, 146},    {0x09, 4831}, {0x1E, 0x4006}, {0x20, 0x0040}, {0x22, 0},    {0x23, 0},
    {0x2B, 16},     {0x2C, 16},   {0x2D, 16},     {0x2E, 16},     {0x35, 16},   {0xFD, 0x00E4},
};

constexpr uint16_t kChipVersion[] = {0x0000};

// The 16-bit map: line length 0x0342, frame length 0x0340, global gain
// 0x305E (the code in the low seven bits).
constexpr RegisterField kLineLength{0x0342};
constexpr RegisterField kFrameLength{0x0340};
constexpr RegisterField kGlobalGain{0x305E, 1, 0x007F};
// The window's start: x_addr_start and y_addr_start.
constexpr RegisterField kWindowColumn{0x0344};
constexpr RegisterField kWindowRow{0x0346};

// MT9J001 takes its pixel clock from the PLL's system divider 0x0302:
// 1 gives 80 MHz, 2 gives 32, 4 gives 16.
constexpr ClockChoice kMt9j001Clocks[] = {{2, 32000}, {4, 16000}};

constexpr RegisterMapDescription kMt9f001Map{
    .powerOn = kMt9f001PowerOn, .readOnly = kChipVersion,
    .lineLength = kLineLength, .frameLength = kFrameLength,
    .exposureLines = {0x3012}, .gainCode = kGlobalGain, .windowColumn = kWindowColumn, .windowRow = kWindowRow,
    .pixelClockKHz = 96000,
};
constexpr RegisterMapDescription kMt9f002Map{
    .powerOn = kMt9f002PowerOn, .readOnly = kChipVersion,
    .lineLength = kLineLength, .frameLength = kFrameLength,
    .exposureLines = {0x3012}, .gainCode = kGlobalGain, .windowColumn = kWindowColumn, .windowRow = kWindowRow,
    .pixelClockKHz = 96000,
};
constexpr RegisterMapDescription kMt9j001Map{
    .powerOn = kMt9j001PowerOn, .readOnly = kChipVersion,
    .lineLength = kLineLength, .frameLength = kFrameLength,
    .exposureLines = {0x0202}, .gainCode = kGlobalGain, .windowColumn = kWindowColumn, .windowRow = kWindowRow,
    .pixelClockKHz = 80000,
    .clockDivider = {0x0302}, .clockChoices = kMt9j001Clocks,
};
// 8-bit addresses, one 16-bit register per address. The line and frame
// lengths follow from the window size registers (0x04 columns, 0x03 rows,
// each the size less one), the skip field of the address-mode registers
// (0x23, 0x22) and the blanking registers (0x05, 0x06); the window starts
// at column 0x02, row 0x01.
constexpr RegisterMapDescription kMt9p001Map{
    .addressBytes = 1, .valueBytes = 2, .bytesPerAddress = 2,
    .powerOn = kMt9p001PowerOn, .readOnly = kChipVersion,
    .derivedLineLength = {.size = {0x04}, .skipMode = {0x23, 1, 0x0007}, .blank = {0x05}},
    .derivedFrameLength = {.size = {0x03}, .skipMode = {0x22, 1, 0x0007}, .blank = {0x06}},
    .exposureLines = {0x09}, .gainCode = {0x35, 1, 0x003F}, .windowColumn = {0x02}, .windowRow = {0x01},
    .pixelClockKHz = 80000,
};

const RegisterMapDescription& MapOf(AptinaSensorKind kind) {
    switch (kind) {
        case AptinaSensorKind::MT9F001: return kMt9f001Map;
        case AptinaSensorKind::MT9F002: return kMt9f002Map;
        case AptinaSensorKind::MT9J001: return kMt9j001Map;
        case AptinaSensorKind::MT9P001: break;
    }
    return kMt9p001Map;
}

}  // namespace

AptinaPersonality::AptinaPersonality(AptinaSensorKind kind) : RegisterMapSensor(MapOf(kind)), kind_(kind) {}

std::unique_ptr<SensorPersonality> MakeAptinaPersonality(uint16_t modelId, bool olderSensor) {
    const EmulatedSensor sensor = LookupVirtualModel(modelId).sensor;
    switch (sensor) {
        case EmulatedSensor::MT9F002:
            if (olderSensor) return MakeMt9f001Personality();
            return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F002);
        case EmulatedSensor::MT9F001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F001);
        case EmulatedSensor::MT9J001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9J001);
        case EmulatedSensor::MT9P001: return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9P001);
        case EmulatedSensor::PlainRegisters:
        case EmulatedSensor::IMX273:
        case EmulatedSensor::Q113:
        case EmulatedSensor::IMX174:
        case EmulatedSensor::IMX178:
        case EmulatedSensor::IMX183:
        case EmulatedSensor::IMX159:
        case EmulatedSensor::IMX226:
        case EmulatedSensor::LI7050:
        case EmulatedSensor::GLUX9701:
        case EmulatedSensor::IMX250:
        case EmulatedSensor::IMX252:
        case EmulatedSensor::IMX264:
        case EmulatedSensor::IMX487:
        case EmulatedSensor::IMX536:
        case EmulatedSensor::IMX990:
        case EmulatedSensor::IMX991:
            break;
    }
    return nullptr;
}

std::unique_ptr<SensorPersonality> MakeMt9f001Personality() {
    return std::make_unique<AptinaPersonality>(AptinaSensorKind::MT9F001);
}

}  // namespace vantix::emulator
