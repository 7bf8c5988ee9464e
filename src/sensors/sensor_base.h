#pragma once
// CSensorBase: what the camera engine drives behind the FPGA. It holds the
// SensorInfo record and the state every head shares, implements the getters
// over that record, and answers every other operation with 0 (not
// supported). A sensor class overrides what its sensor can do. The virtual
// operations are declared in the engine's slot order.
#include <cstdint>

#include "platform/critical_section.h"
#include "sensors/sensor_info.h"
#include "transport/controller_base.h"

namespace vantix {

// Control flag (SetControlFlags): the camera, not the host, owns the sensor's
// bus, so register transfers go through the camera's registers.
inline constexpr uint32_t kControlCameraOwnsSensorBus = 0x10000;

// What a sensor class's static probe found on a board that carries one of
// two sensors.
enum class SensorProbe { Fitted, NotFitted, NoAnswer };

// The windows a sensor accepts. Sizes are before sub-sampling; area mode m
// (the session's sub-sample mode) has its own grid.
struct WindowRules {
    int32_t maxWidth = 0, maxHeight = 0;  // the pixel array
    int32_t minWidth = 0, minHeight = 0;
    int32_t areaModes = 0;                // bit m set: area mode m exists
    struct Grid {
        int32_t widthStep = 0, heightStep = 0, xStep = 0, yStep = 0;
    } grid[3];
};

class CSensorBase {
public:
    // The record is zeroed; subclasses fill it with their constants. Nothing
    // is sent to the camera during construction.
    CSensorBase(CControllerBase* controller, uint8_t deviceAddress);
    virtual ~CSensorBase();                                              // 0
    CSensorBase(const CSensorBase&) = delete;
    CSensorBase& operator=(const CSensorBase&) = delete;

    virtual int32_t SetModelVariant(int32_t code);                      // 1
    virtual int32_t SetControlFlags(uint32_t flags);                    // 2
    virtual uint32_t GetControlFlags();                                 // 3
    virtual int32_t Detect();                                           // 4
    virtual int32_t Initialize();                                       // 5
    virtual int32_t Handshake();                                        // 6
    virtual int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode);  // 7
    virtual int32_t GetArea(int32_t* x, int32_t* width, int32_t* y, int32_t* height, int32_t* mode);  // 8
    virtual int32_t SetTriggerMode(int32_t on);                         // 9
    virtual int32_t GetTriggerMode(int32_t* on);                        // 10
    virtual int32_t SetAuxMode(int32_t mode);                           // 11
    virtual int32_t PulseAuxControl();                                  // 12
    virtual int32_t IsAuxSupported();                                   // 13
    virtual int32_t SetBitDepth(int32_t sixteenBit);                    // 14
    virtual int32_t SetExposureLines(int32_t lines);                    // 15
    virtual int32_t GetExposureLines(int32_t* lines);                   // 16
    virtual int32_t SetGain(int32_t gain);                              // 17
    virtual int32_t GetGain(int32_t* gain);                             // 18
    virtual int32_t SetColorGainRed(int32_t value);                     // 19
    virtual int32_t GetColorGainRed(int32_t* value);                    // 20
    virtual int32_t SetColorGainGreen1(int32_t value);                  // 21
    virtual int32_t GetColorGainGreen1(int32_t* value);                 // 22
    virtual int32_t SetColorGainGreen2(int32_t value);                  // 23
    virtual int32_t GetColorGainGreen2(int32_t* value);                 // 24
    virtual int32_t SetColorGainBlue(int32_t value);                    // 25
    virtual int32_t GetColorGainBlue(int32_t* value);                   // 26
    virtual int32_t GetExposureLinesMin(int32_t* value);                // 27
    virtual int32_t GetExposureLinesMax(int32_t* value);                // 28
    virtual int32_t GetExposureLinesDefault(int32_t* value);            // 29
    virtual int32_t GetGainMin(int32_t* value);                         // 30
    virtual int32_t GetGainMax(int32_t* value);                         // 31
    virtual int32_t GetGainDefault(int32_t* value);                     // 32
    virtual int32_t GetColorGainMin(int32_t* value);                    // 33
    virtual int32_t GetColorGainMax(int32_t* value);                    // 34
    virtual int32_t GetColorGainDefault(int32_t* value);                // 35
    virtual int32_t SetChannelGain(int32_t channel, int32_t value);     // 36
    virtual int32_t GetChannelGain(int32_t channel, int32_t* value);    // 37
    virtual int32_t GetChannelGainMin(int32_t* value);                  // 38
    virtual int32_t GetChannelGainMax(int32_t* value);                  // 39
    virtual int32_t GetChannelGainDefault(int32_t* value);              // 40
    virtual int32_t SetChannelOffset(int32_t channel, int32_t value);   // 41
    virtual int32_t GetChannelOffset(int32_t channel, int32_t* value);  // 42
    virtual int32_t GetChannelOffsetMin(int32_t* value);                // 43
    virtual int32_t GetChannelOffsetMax(int32_t* value);                // 44
    virtual int32_t GetChannelOffsetDefault(int32_t* value);            // 45
    virtual int32_t IsBlackLevelSupported();                            // 46
    virtual int32_t SetBlackLevel(int32_t value);                       // 47
    virtual int32_t GetBlackLevel(int32_t* value);                      // 48
    virtual int32_t GetBlackLevelMin(int32_t* value);                   // 49
    virtual int32_t GetBlackLevelMax(int32_t* value);                   // 50
    virtual int32_t GetBlackLevelDefault(int32_t* value);               // 51
    virtual int32_t IsGainStepSupported();                              // 52
    virtual int32_t GetGainStepMin(int32_t* value);                     // 53
    virtual int32_t GetGainStepMax(int32_t* value);                     // 54
    virtual int32_t GetGainStepDefault(int32_t* value);                 // 55
    virtual int32_t GetGainStepCurrent(int32_t* value);                 // 56
    virtual int32_t SetGainStep(int32_t step);                          // 57
    virtual int32_t GetGainStep(int32_t* step);                         // 58
    virtual int32_t GetGainStepLabel(int32_t index, char* text);        // 59
    virtual int32_t SetExposureTime(int32_t tenthsOfMs);                // 60
    virtual int32_t GetExposureTime(int32_t* value);                    // 61
    virtual int32_t GetExposureTimeMin(int32_t* value);                 // 62
    virtual int32_t GetExposureTimeMax(int32_t* value);                 // 63
    virtual int32_t GetExposureTimeDefault(int32_t* value);             // 64
    virtual int32_t SetMirrorH(int32_t on);                             // 65
    virtual int32_t GetMirrorH(int32_t* on);                            // 66
    virtual int32_t SetMirrorV(int32_t on);                             // 67
    virtual int32_t GetMirrorV(int32_t* on);                            // 68
    virtual int32_t GetMirrorHDefault();                                // 69
    virtual int32_t GetMirrorVDefault();                                // 70
    virtual int32_t IsMirrorHSupported();                               // 71
    virtual int32_t IsMirrorVSupported();                               // 72
    virtual int32_t AccessDevice(int32_t op, void* buffer);             // 73
    virtual int32_t WriteRegister(uint32_t address, uint32_t value);    // 74
    virtual int32_t ReadRegister(uint32_t address, uint32_t* value);    // 75
    virtual int32_t WriteRegisterChecked(uint32_t address, uint32_t value);  // 76
    virtual int32_t ReadRegisterChecked(uint32_t address, uint32_t* value);  // 77
    virtual int32_t Reserved78();                                       // 78
    virtual int32_t Reserved79();                                       // 79
    virtual int32_t Reserved80();                                       // 80
    virtual int32_t Reserved81();                                       // 81
    virtual int32_t Reserved82();                                       // 82
    virtual int32_t SetClockMode(int32_t mode);                         // 83
    virtual int32_t GetClockMode(int32_t* mode);                        // 84
    virtual int32_t Reserved85();                                       // 85
    virtual int32_t Reserved86();                                       // 86
    virtual int32_t GetSensorInfo(SensorInfo* info);                    // 87
    virtual void RestartReadout();                                      // 88
    virtual void ResetReadout();                                        // 89
    virtual int32_t SetReadoutMode(int32_t mode);                       // 90
    virtual int32_t GetReadoutMode(int32_t* mode);                      // 91
    virtual int32_t IsCoolingSupported();                               // 92
    virtual int32_t GetCooling(int32_t* on);                            // 93
    virtual int32_t SetCooling(int32_t on);                             // 94
    virtual int32_t IsTemperatureSupported();                           // 95
    virtual int32_t GetTemperature(double* celsius);                    // 96
    virtual void StartTemperatureMonitor();                             // 97
    virtual void StopTemperatureMonitor();                              // 98
    virtual int32_t IsAuxPowerSupported();                              // 99
    virtual int32_t GetAuxPower(int32_t* on);                           // 100
    virtual int32_t SetAuxPower(int32_t on);                            // 101
    virtual int32_t ReceiveText(char* buffer, int32_t length);          // 102
    virtual int32_t SendText(const char* text, int32_t length);         // 103
    virtual int32_t IsSensorModeSupported();                            // 104
    virtual int32_t GetSensorMode(int32_t* state);                      // 105
    virtual int32_t SetSensorMode(int32_t on);                          // 106
    virtual int32_t IsTargetTemperatureSupported();                     // 107
    virtual int32_t Reserved108();                                      // 108
    virtual int32_t Reserved109();                                      // 109
    virtual int32_t GetTargetTemperature(double* celsius);              // 110
    virtual int32_t SetTargetTemperature(double celsius);               // 111
    virtual int32_t IsExposureSecondsSupported();                       // 112
    virtual int32_t GetExposureSecondsMin(double* seconds);             // 113
    virtual int32_t GetExposureSecondsMax(double* seconds);             // 114
    virtual int32_t GetExposureSecondsDefault(double* seconds);         // 115
    virtual int32_t GetExposureSeconds(double* seconds);                // 116
    virtual int32_t SetExposureSeconds(double seconds);                 // 117
    virtual int32_t IsExposureModeSupported();                          // 118
    virtual int32_t GetExposureMode(int32_t* mode);                     // 119
    virtual int32_t SetExposureMode(int32_t mode);                      // 120
    virtual int32_t IsInfoBlockValid();                                 // 121
    virtual int32_t GetInfoBlock(int32_t* value, int16_t* word, uint8_t bytes[2]);  // 122
    virtual int32_t IsOutputModeSupported();                            // 123
    virtual int32_t GetOutputMode();                                    // 124
    virtual int32_t SetOutputMode(int32_t mode);                        // 125
    virtual int32_t IsScanModeSupported();                              // 126
    virtual int32_t GetScanMode();                                      // 127
    virtual int32_t SetScanMode(int32_t mode);                          // 128

    // ---- After the last slot ----
    // The windows SetArea accepts, as data: false when the class does not
    // describe them (its SetArea still checks what it is given).
    virtual bool GetWindowRules(WindowRules* rules) const;

    // ---- Helpers shared by the sensor classes (not engine slots) ----
    const SensorInfo& Info() const { return info_; }
    uint8_t DeviceAddress() const { return deviceAddress_; }
    int32_t ModelVariant() const { return modelVariant_; }
    // Pulses the FPGA's settings-strobe register after FPGA-side changes.
    int32_t SettingsStrobe();
    // The camera firmware version, FPGA register 0x11 * 256 + register 0x10,
    // read once and cached.
    uint16_t FirmwareVersion();

protected:
    // Exposure in units of 0.1 ms through the sensor's microsecond-to-lines
    // conversion (the common form of the heads that also take seconds).
    int32_t SetExposureTimeThroughMicroseconds(int32_t tenthsOfMs);
    // Seconds through the same conversion.
    int32_t SetExposureSecondsThroughMicroseconds(double seconds);
    // The sensor's microsecond-to-lines conversion; heads that take exposure
    // in seconds override it. Base: 0.
    virtual int32_t SetExposureMicroseconds(uint64_t microseconds);

    // Register access of the CMOS classes over the serial bus: a 16-bit
    // register address sent high byte first, 8-bit values. Each transfer runs
    // under busLock_. Both return 0 without a controller.
    int32_t BusWriteRegister8(uint32_t address, uint32_t value);
    int32_t BusReadRegister8(uint32_t address, uint32_t* value);
    // Checked access through the WriteRegister/ReadRegister slots: each try
    // waits for the FPGA's sensor-bus busy word (register 2) to read 0; a
    // write counts only when reading the register back returns the value.
    // Up to 100 tries, 3 ms apart.
    int32_t WriteRegisterCheckedVia(uint32_t address, uint32_t value);
    int32_t ReadRegisterCheckedVia(uint32_t address, uint32_t* value);
    // Records the transfer width (16 or 8 bits in word 82) and reprograms the
    // FPGA capture window with the current area size.
    int32_t ApplyBitDepth(int32_t sixteenBit);

    SensorInfo info_{};
    CControllerBase* controller_;
    uint8_t deviceAddress_;
    uint32_t controlFlags_ = 0;
    uint16_t firmwareVersion_ = 0;
    int32_t modelVariant_ = 0;
    // Serialises each single bus transfer of the CMOS classes.
    CriticalSection busLock_;
};

}  // namespace vantix
