#pragma once
// The cameras the virtual camera can be: the emulator's own table, written
// from the cameras' documentation and never from the library's catalog, so
// that a mistake in the library's tables shows up as a test failure instead
// of being copied into the oracle.
#include <cstdint>

#include "emulator/scene.h"

namespace vantix::emulator {

// Where the FPGA of a head keeps the window size.
enum class WindowRegisters : uint8_t {
    Standard,  // width 68/69, height 64/65
    Wide,      // width 156/157, height 154/155
    CameraSized,  // the camera owns the sensor bus and sizes frames from the sensor (CameraBusHead)
};

// Which setting gives the transfer depth.
enum class DepthSetting : uint8_t {
    FpgaRegister,       // FPGA 0x3C: 2 = 16-bit samples
    ModeByte,           // the controller's mode byte: 1 = 16-bit samples
    ConverterRegister,  // FPGA 0x3D: non-zero = 16-bit samples
    WideRegister,       // FPGA 0xA3: 2 = 16-bit samples
};

// What sits at the sensor's bus address.
enum class EmulatedSensor : uint8_t {
    PlainRegisters,  // a register file without timing (families not emulated yet)
    MT9F001,
    MT9F002,
    MT9J001,
    MT9P001,
    IMX273,
    Q113,  // the 1280 x 1024 head's 16-bit register sensor
    IMX174,
    IMX178,
    IMX183,
    IMX159,
    IMX226,
    LI7050,
    GLUX9701,
    IMX250,
    IMX252,
    IMX264,
    IMX487,
    IMX536,
    IMX990,
    IMX991,
};

// What answers behind the USB controller: the standard FPGA head with a
// sensor on the bus, or a head of its own (personalities/).
enum class EmulatedHead : uint8_t {
    Standard,
    CcdResidentProgram,   // CCD timing generator with its program in the camera
    CcdLoadedProgram,     // CCD timing generator the host programs at every open
    CcdLoadedFpgaGain,    // the same, with the front-end gain in FPGA 0xA0/0xA1
    FpgaTimedArea,        // InGaAs array timed by the FPGA
    FpgaTimedCooledArea,  // the same with a thermistor and a cooler
    FpgaTimedLines,       // line sensor: frames gathered from successive lines
    SerialBridge,         // ASCII commands over a byte bridge (the SWIR head)
    Mailbox2048,          // a microcontroller behind FPGA mailbox registers, 2048 x 2048
    Mailbox4096,          // the same on the 4096 x 4096 head
    VideoConverter,       // text packets to a video converter
    CooledInGaAs,         // FPGA-programmed windows, cooler and a temperature sensor
    SensorBusEeprom,      // the standard head with a byte EEPROM at bus address 0xA0
    SensorStatusWord,     // the standard head whose FPGA register 33 reports the sensor powered (3)
    ImxBus,               // the IMX heads' FPGA: status device, busy bits, vertical drive, bus hand-over
};

struct VirtualModel {
    uint16_t modelId = 0;
    uint8_t sensorAddress = 0x20;  // 8-bit write address on the serial bus
    uint32_t width = 1280;         // the pixel array
    uint32_t height = 1024;
    BayerPattern pattern = BayerPattern::Mono;
    WindowRegisters window = WindowRegisters::Standard;
    DepthSetting depth = DepthSetting::FpgaRegister;
    EmulatedSensor sensor = EmulatedSensor::PlainRegisters;
    EmulatedHead head = EmulatedHead::Standard;
    // CCD heads: lines per frame the exposure is counted in. FPGA-timed
    // heads: the exposure count (clocks or lines) of nominal brightness.
    uint32_t exposureReference = 0;
};

// The model's row; ids the table does not list get a row of their own with
// the defaults above (a 1280 x 1024 mono head at bus address 0x20).
VirtualModel LookupVirtualModel(uint16_t modelId);

}  // namespace vantix::emulator
