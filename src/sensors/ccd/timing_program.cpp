// The three interline CCD heads' timing-generator programs, built at compile
// time from each head's timing description: its line and frame lengths, the
// widths of its vertical clocks and transfer gate, and its front-end words.
#include "sensors/ccd/timing_program.h"

#include <array>

namespace vantix::ccd {
namespace {

using Kind = TimingStep::Kind;

constexpr uint16_t kBank1 = 0x8000;

struct RegisterValue {
    uint16_t address;
    uint32_t value;
};

// Reset words: stop the sequencer, clear the shutter and the readout
// pointers, park the line counters. They open every program and are sent
// again once the timing-generator clock runs.
constexpr RegisterValue kResetWords[] = {
    {0x8025, 0x1C018A0}, {0x8026, 0x1C018A0}, {0x801C, 0},
    {0x80D1, 0x100000},  {0x00D1, 0x100000},
    {0x8000, 4},         {0x0000, 4},  // control word: 4 = load, clocks held
    {0x8015, 0},         {0x0015, 0},
};

// Run words: select sequence 1 and start it with the run word in both banks.
constexpr RegisterValue kRunWords[] = {
    {0x8011, 1}, {0x8013, 0x3038063}, {0x0011, 1}, {0x0013, 0x3038063},
};

// ---- Edge tables ----

// An edge entry holds a timing line's rising edge in bits 0-12 and its
// falling edge in bits 13-25, as pixel positions within the line; all bits
// set is a slot without edges (the line stays idle).
constexpr uint32_t kIdleSlot = 0x3FFFFFF;
constexpr uint32_t Edge(int32_t rise, int32_t fall) {
    return static_cast<uint32_t>(rise) | static_cast<uint32_t>(fall) << 13;
}

// The 192 entries of a bank's edge table: 12 timing lines of 16 slots.
enum TimingLine : uint8_t {
    kH1, kH2,                   // horizontal register clocks
    kResetGate,                 // output reset
    kSampleReset, kSampleData,  // correlated double sampling points
    kClampOpticalBlack,         // black clamp over the masked columns
    kPixelBlank,                // front-end blanking outside the active line
    kV1, kV2, kV3, kV4,         // vertical transfer phases in horizontal blanking
    kTransferGate,              // photodiode-to-register transfer, frame start
    kTimingLines,
};
constexpr size_t kSlotsPerLine = 16;
constexpr size_t kEdgeEntries = kTimingLines * kSlotsPerLine;
static_assert(kEdgeEntries == 0xC0);
constexpr uint16_t kEdgeTable = 0x0400;

// ---- A head's timing ----

struct HeadTiming {
    int32_t activeWidth, activeHeight;  // pixel array
    int32_t lineLength, frameLength;    // pixels per line, lines per frame
    int32_t verticalClock;              // width of one vertical phase, pixels
    int32_t transferGate;               // width of the transfer-gate pulse, pixels
    std::array<uint32_t, 16> frontEnd;  // analog front-end words 0x40-0x4F
};

constexpr std::array<uint32_t, kEdgeEntries> EdgeTable(const HeadTiming& t) {
    std::array<uint32_t, kEdgeEntries> table{};
    for (uint32_t& entry : table) entry = kIdleSlot;
    const int32_t blank = t.lineLength - t.activeWidth;
    const int32_t activeStart = blank - 16;
    const int32_t activeEnd = activeStart + t.activeWidth - 1;
    const auto slot = [&table](TimingLine line, size_t n) -> uint32_t& { return table[line * kSlotsPerLine + n]; };
    // Slot 0 of each line holds its edges over the active line; the vertical
    // phases overlap by half a phase so charge never stops between them.
    slot(kH1, 0) = Edge(activeStart, activeEnd);
    slot(kH2, 0) = Edge(activeEnd + 1, activeStart - 1);
    slot(kResetGate, 0) = Edge(activeStart - 8, activeStart - 4);
    slot(kSampleReset, 0) = Edge(activeStart - 3, activeStart - 1);
    slot(kSampleData, 0) = Edge(activeStart + 1, activeStart + 3);
    slot(kClampOpticalBlack, 0) = Edge(8, activeStart - 24);
    slot(kPixelBlank, 0) = Edge(activeEnd + 1, t.lineLength - 1);
    const int32_t half = t.verticalClock / 2;
    for (int phase = 0; phase < 4; ++phase) {
        const int32_t rise = 16 + phase * half;
        slot(static_cast<TimingLine>(kV1 + phase), 0) = Edge(rise, rise + t.verticalClock);
    }
    // The transfer gate pulses once per frame, after the fourth phase.
    const int32_t gate = 16 + 4 * half + t.verticalClock;
    slot(kTransferGate, 0) = Edge(gate, gate + t.transferGate);
    slot(kTransferGate, 1) = Edge(gate + t.transferGate + half, gate + t.transferGate + t.verticalClock);
    return table;
}

// ---- Mode and sequence registers: the same registers on every head, with
// the head's values ----

constexpr size_t kModeRegisters = 36;

constexpr std::array<RegisterValue, kModeRegisters> ModeRegisters(const HeadTiming& t) {
    const int32_t blank = t.lineLength - t.activeWidth;
    const int32_t activeStart = blank - 16;
    const int32_t vBlank = t.frameLength - t.activeHeight;
    const auto u = [](int32_t v) { return static_cast<uint32_t>(v); };
    return {{
        {0x01, u(t.lineLength - 1)},          // line counter wrap
        {0x04, u(t.frameLength - 1)},         // frame counter wrap
        {0x07, u(activeStart)},               // first active column
        {0x08, u(activeStart + t.activeWidth - 1)},  // last active column
        {0x09, u(vBlank / 2)},                // first active line
        {0x0A, u(vBlank / 2 + t.activeHeight - 1)},  // last active line
        {0x0B, 8},                            // first optical-black column
        {0x0C, u(activeStart - 24)},          // last optical-black column
        {0x0D, 2},                            // dummy lines before the black lines
        {0x0E, u(vBlank / 2 - 4)},            // last optical-black line
        {0x0F, u(t.verticalClock)},           // vertical phase width
        {0x10, u(t.transferGate)},            // transfer-gate width
        {0x12, 0},                            // sequence 0: idle
        {0x14, 1},                            // sequence 1: progressive readout
        {0x16, 4},                            // vertical phases per line
        {0x17, u(t.frameLength / 2)},         // field toggle line
        {0x18, 0},                            // field mode off (progressive)
        {0x19, 1},                            // substrate pulse per frame
        {0x1A, u(t.transferGate / 2)},        // substrate pulse width
        {0x1B, u(t.frameLength - 2)},         // line of the substrate pulse
        {0x1D, 0x0F},                         // clock output enables H1, H2, RG, V
        {0x1E, 0x03},                         // sample clock enables SHP, SHD
        {0x1F, 0},                            // no horizontal binning
        {0x20, 0},                            // no vertical binning
        {0x21, 1},                            // sweep lines before a transfer
        {0x22, u(t.lineLength / 4)},          // sweep line length
        {0x23, 0},                            // external trigger delay, lines
        {0x24, 2},                            // readout lines discarded at frame start
        {0x27, 0x2A},                         // H-clock polarity
        {0x28, 0x15},                         // V-clock polarity
        {0x29, u(activeStart - 40)},          // clamp pulse start
        {0x2A, u(activeStart - 28)},          // clamp pulse end
        {0x2B, 0},                            // test pattern off
        {0x2C, 1},                            // line-sync output on
        {0x2D, 1},                            // frame-sync output on
        {0x2E, 0x3FF},                        // full-scale code of the front end
    }};
}

// ---- The program ----

constexpr std::array<TimingStep, kTimingProgramSteps> BuildProgram(const HeadTiming& t) {
    std::array<TimingStep, kTimingProgramSteps> steps{};
    size_t n = 0;
    const auto write = [&](uint16_t address, uint32_t value) { steps[n++] = {Kind::CameraRegister, address, value}; };
    const auto bothBanks = [&](uint16_t address, uint32_t value) {
        write(static_cast<uint16_t>(kBank1 | address), value);
        write(address, value);
    };
    size_t enable = 0;
    const auto nextEnable = [&] { steps[n++] = {Kind::FpgaEnable, kTimingEnables[enable++], 1}; };

    for (const RegisterValue& r : kResetWords) write(r.address, r.value);
    nextEnable();  // 33: the timing generator's clock
    for (const RegisterValue& r : kResetWords) write(r.address, r.value);
    nextEnable();  // 32: horizontal drivers
    const std::array<uint32_t, kEdgeEntries> edges = EdgeTable(t);
    for (size_t i = 0; i < kEdgeEntries; ++i) bothBanks(static_cast<uint16_t>(kEdgeTable + i), edges[i]);
    nextEnable();  // 34: vertical drivers
    for (const RegisterValue& r : ModeRegisters(t)) bothBanks(r.address, r.value);
    nextEnable();  // 35: substrate driver
    for (size_t i = 0; i < t.frontEnd.size(); ++i) bothBanks(static_cast<uint16_t>(0x40 + i), t.frontEnd[i]);
    nextEnable();  // 31: analog front end
    for (const RegisterValue& r : kRunWords) write(r.address, r.value);
    nextEnable();  // 36: sequencer
    nextEnable();  // 37: pixel output
    nextEnable();  // 224: frame stream
    return steps;
}

// Front-end words: operation mode, clamp level, VGA gain, CDS gain, sample
// positions, drive strengths, output format, test pattern, colour steering,
// four channel trims, update.

constexpr HeadTiming kQ105Timing{
    .activeWidth = 2336, .activeHeight = 1752, .lineLength = 2836, .frameLength = 1952,
    .verticalClock = 48, .transferGate = 96,
    .frontEnd = {0x004, 0x080, 0x15E, 0x001, 0x018, 0x030, 0x003, 0x002,
                 0x001, 0x000, 0x000, 0x100, 0x100, 0x100, 0x100, 0x001},
};
constexpr HeadTiming kQ106Timing{
    .activeWidth = 4896, .activeHeight = 3264, .lineLength = 5396, .frameLength = 3464,
    .verticalClock = 64, .transferGate = 128,
    .frontEnd = {0x004, 0x080, 0x00F, 0x001, 0x020, 0x040, 0x003, 0x002,
                 0x001, 0x000, 0x000, 0x100, 0x100, 0x100, 0x100, 0x001},
};
constexpr HeadTiming kQ107Timing{
    .activeWidth = 6576, .activeHeight = 4384, .lineLength = 7076, .frameLength = 4584,
    .verticalClock = 80, .transferGate = 160,
    .frontEnd = {0x004, 0x080, 0x064, 0x002, 0x020, 0x040, 0x003, 0x003,
                 0x001, 0x000, 0x000, 0x100, 0x100, 0x100, 0x100, 0x001},
};

constexpr auto kQ105Program = BuildProgram(kQ105Timing);
constexpr auto kQ106Program = BuildProgram(kQ106Timing);
constexpr auto kQ107Program = BuildProgram(kQ107Timing);

// Every step was filled, the first and last writes are the reset and run
// words, and edge positions fit the 13-bit fields.
constexpr bool WellFormed(const std::array<TimingStep, kTimingProgramSteps>& p, const HeadTiming& t) {
    size_t writes = 0;
    for (const TimingStep& s : p) {
        if (s.kind == Kind::CameraRegister) ++writes;
        if (s.value > kIdleSlot) return false;
    }
    return writes == kTimingProgramWrites && p.front().address == 0x8025 && p[kTimingProgramSteps - 4].address == 0x0013 &&
           t.lineLength < 0x2000;
}
static_assert(WellFormed(kQ105Program, kQ105Timing));
static_assert(WellFormed(kQ106Program, kQ106Timing));
static_assert(WellFormed(kQ107Program, kQ107Timing));

}  // namespace

std::span<const TimingStep> TimingProgramQ105() { return kQ105Program; }
std::span<const TimingStep> TimingProgramQ106() { return kQ106Program; }
std::span<const TimingStep> TimingProgramQ107() { return kQ107Program; }

}  // namespace vantix::ccd
