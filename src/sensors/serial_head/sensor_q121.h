#pragma once
// CSensorQ121: the 1280 x 1024 SWIR head of model 0x3180. The head has a
// controller of its own that takes short ASCII commands over a serial link;
// the camera's FPGA bridges that link to register 0 of bus device 0x48, one
// byte per transfer. Exposure, gain and trigger changes are commands; each
// command's reply is read back and compared, so a head that does not answer,
// or answers something else, fails the request.
#include <cstdint>
#include <string_view>

#include "platform/critical_section.h"
#include "sensors/sensor_base.h"

namespace vantix {

class CSensorQ121 : public CSensorBase {
public:
    CSensorQ121(CControllerBase* controller, uint8_t deviceAddress);

    // FPGA register 255 reads 4 once the head has been woken.
    int32_t Detect() override;
    // Wakes the head (FPGA 255 = 4), asks its identity, enables its link
    // (FPGA 60 = 2) and ends the exchange with "x -c".
    int32_t Handshake() override;
    // The full transfer window: 2048 (the width of one line on the link,
    // not its pixel count) by 1024 lines.
    int32_t Initialize() override;
    // Stored only: the head always sends its whole frame.
    int32_t SetArea(int32_t x, int32_t width, int32_t y, int32_t height, int32_t mode) override;
    // Head FPGA register 48 = 1 (external trigger) or 0, then register 60
    // pulsed 0, 1 to take the setting.
    int32_t SetTriggerMode(int32_t on) override;
    int32_t GetTriggerMode(int32_t* on) override;
    int32_t SetBitDepth(int32_t sixteenBit) override;
    int32_t SetExposureLines(int32_t lines) override;
    int32_t SetGain(int32_t gain) override;
    // t x 40 x 100 / 70 lines (the head counts exposure in units of 17.5 us).
    int32_t SetExposureTime(int32_t tenthsOfMs) override;
    // The head does not mirror: the stored word, result 0.
    int32_t GetMirrorV(int32_t* on) override;
    // The bridge: register 0 is the link's data register.
    int32_t WriteRegister(uint32_t address, uint32_t value) override;
    int32_t ReadRegister(uint32_t address, uint32_t* value) override;
    // One line from the head: bytes until LF or NUL (kept), or CR (kept, LF
    // added), or until the bridge has no more. 0 for an empty line, a line
    // of 256 bytes without an end, or nothing received. Copies at most
    // `length` bytes (no NUL added) and returns the line's length.
    int32_t ReceiveText(char* buffer, int32_t length) override;
    // Sends up to `length` bytes, stopping at a NUL or a failed write, 10 ms
    // apart. The result of the last write; 0 for an empty text.
    int32_t SendText(const char* text, int32_t length) override;

    // Seconds a command waits for its reply.
    static constexpr int kIdentityTimeoutS = 10;
    static constexpr int kCommandTimeoutS = 3;

    // The debug mode of the head as this process last knew it (shared by
    // every Q121 object, as the head keeps it across sessions).
    enum class DebugMode { Off, On, Unknown };
    static DebugMode KnownDebugMode();
    // Tests start from a head just powered on.
    static void ResetDebugModeForTesting();

private:
    // Sends `command` and waits up to `timeoutS` seconds for one reply line,
    // which must read `expected` (line ends aside). Bytes left over from
    // earlier replies are drained first and after, so a stale line is never
    // taken for this command's answer. A failure also forgets the head's
    // debug mode, since the head may have been restarted.
    bool Exchange(std::string_view command, std::string_view expected, int timeoutS);
    bool SetDebugMode(bool on);
    // Writes one register of the head's own FPGA in debug mode. When debug
    // mode was taken as on and the write fails, the mode is entered again and
    // the write repeated once (the head forgets it on a restart).
    bool WriteHeadFpga(uint8_t reg, uint8_t value);
    void DrainReplies();
    // ReceiveText's line reader. `ended` tells that a line end was read,
    // also when it came first and the line is empty: for a reply arriving in
    // pieces, that end closes the line begun by the earlier pieces.
    int32_t ReadLine(char* buffer, int32_t length, bool* ended);

    // Keeps a command and its reply together: commands from two threads
    // never interleave their bytes on the link.
    CriticalSection commandLock_;
};

}  // namespace vantix
