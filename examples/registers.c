/* registers: read the camera's sensor registers, FPGA registers and serial
 * ROM, and (with --write) write each of them, read the value back and put the
 * original value back.
 *
 *   registers [--write]
 *
 * These calls reach the hardware directly and bypass the SDK's settings; a
 * wrong write can stop the camera delivering frames until it is replugged.
 * The writes below use registers whose change is harmless and always restore
 * them.
 *
 * The session reports to a pollable window: the serial ROM calls post their
 * failures there without adding them to the error history. */
#include <stdio.h>
#include <string.h>

#include <vantix/exports.h>
#include <vantix/linux_ext.h>

/* Sensor registers of the camera's image sensor (16-bit addresses). */
#define SENSOR_CHIP_VERSION 0x0000
#define SENSOR_COARSE_INTEGRATION 0x0202 /* exposure in lines */
/* FPGA registers: the width of the frames it delivers (low, high byte) and
 * the general-purpose I/O port. */
#define FPGA_FRAME_WIDTH_LOW 68
#define FPGA_FRAME_WIDTH_HIGH 69
#define FPGA_IO_PORT 7
/* Serial ROM addresses used by the write test (the last bytes of the 4 KiB
 * reachable with Vantix_ReadSromID). */
#define SROM_TEST_ADDRESS 0x0FF0

static VantixHwnd g_window;

/* Prints what failed with the newest recorded error code and any error
 * notifications that were posted to the window. */
static int fail(int32_t handle, const char* what) {
    fprintf(stderr, "error: %s failed, SDK error %d", what, (int)Vantix_GetLastError(handle));
    VantixMessage message;
    while (VantixExt_GetMessage(g_window, &message, 0) == 1) {
        if (message.message == VANTIX_MSG_ERROR) fprintf(stderr, ", notified code %ld", (long)message.lParam);
    }
    fprintf(stderr, "\n");
    return 0;
}

static int sensor_registers(int32_t handle, int write) {
    /* The plain calls take an 8-bit register number; the Ex calls all 32 bits
     * (needed for the 16-bit addresses of this sensor). */
    int32_t ok = 0;
    int32_t version = Vantix_ReadRegister(handle, SENSOR_CHIP_VERSION, &ok);
    if (!ok) return fail(handle, "reading the sensor's chip version");
    int32_t lines = Vantix_ReadRegisterEx(handle, SENSOR_COARSE_INTEGRATION, &ok);
    if (!ok) return fail(handle, "reading the sensor's integration time");
    printf("sensor  register 0x%04X (chip version)     = 0x%04X\n", SENSOR_CHIP_VERSION, (unsigned)version);
    printf("sensor  register 0x%04X (integration time) = %d lines\n", SENSOR_COARSE_INTEGRATION, (int)lines);
    if (!write) return 1;

    int32_t changed = lines > 1 ? lines - 1 : lines + 1;
    if (!Vantix_WriteRegisterEx(handle, SENSOR_COARSE_INTEGRATION, changed)) return fail(handle, "writing the sensor");
    int32_t readBack = Vantix_ReadRegisterEx(handle, SENSOR_COARSE_INTEGRATION, &ok);
    int restored = Vantix_WriteRegisterEx(handle, SENSOR_COARSE_INTEGRATION, lines);
    if (!ok) return fail(handle, "reading the sensor back");
    if (!restored) return fail(handle, "restoring the sensor register");
    printf("sensor  wrote %d, read back %d, restored %d\n", (int)changed, (int)readBack, (int)lines);
    if (readBack != changed) {
        fprintf(stderr, "error: the sensor register reads back %d, not %d\n", (int)readBack, (int)changed);
        return 0;
    }
    return 1;
}

static int fpga_registers(int32_t handle, int write) {
    /* Vantix_Fpga_ReadRegister only ever clears *ok (on failure): set it to
     * 1 before each call. */
    int32_t ok = 1;
    int32_t low = Vantix_Fpga_ReadRegister(handle, FPGA_FRAME_WIDTH_LOW, &ok);
    int32_t high = Vantix_Fpga_ReadRegister(handle, FPGA_FRAME_WIDTH_HIGH, &ok);
    if (!ok) return fail(handle, "reading the FPGA's frame width");
    ok = 1;
    int32_t port = Vantix_Fpga_ReadRegister(handle, FPGA_IO_PORT, &ok);
    if (!ok) return fail(handle, "reading the FPGA's I/O port");
    printf("fpga    registers %d/%d (frame width)      = %d pixels\n", FPGA_FRAME_WIDTH_LOW, FPGA_FRAME_WIDTH_HIGH,
           (int)(low | high << 8));
    printf("fpga    register %d (I/O port)              = 0x%02X\n", FPGA_IO_PORT, (unsigned)port);
    if (!write) return 1;

    /* FPGA registers are 8 bits wide. The I/O port's outputs follow what is
     * written here, so leave the I/O connector unplugged when trying this. */
    int32_t changed = port ^ 0x01;
    if (!Vantix_Fpga_WriteRegister(handle, FPGA_IO_PORT, changed)) return fail(handle, "writing the FPGA");
    ok = 1;
    int32_t readBack = Vantix_Fpga_ReadRegister(handle, FPGA_IO_PORT, &ok);
    uint8_t viaPort = 0;
    int portRead = Vantix_GetIOPort(handle, &viaPort);
    int restored = Vantix_Fpga_WriteRegister(handle, FPGA_IO_PORT, port);
    if (!ok) return fail(handle, "reading the FPGA back");
    if (!portRead) return fail(handle, "reading the I/O port");
    if (!restored) return fail(handle, "restoring the FPGA register");
    printf("fpga    wrote 0x%02X, read back 0x%02X (I/O port 0x%02X), restored 0x%02X\n", (unsigned)changed,
           (unsigned)readBack, (unsigned)viaPort, (unsigned)port);
    /* Both calls read the same register. Whether it reads back what was
     * written depends on how the I/O lines are wired. */
    if (readBack != (int32_t)viaPort) {
        fprintf(stderr, "error: the FPGA register (0x%02X) and the I/O port (0x%02X) disagree\n", (unsigned)readBack,
                (unsigned)viaPort);
        return 0;
    }
    return 1;
}

static int serial_rom(int32_t handle, int write) {
    /* The first bytes of the serial ROM, as stored by the manufacturer. */
    printf("srom    bytes 0x000-0x00F:");
    for (int32_t address = 0; address < 16; ++address) {
        int32_t ok = 0;
        int32_t value = Vantix_ReadSromID(handle, address, &ok);
        if (!ok) {
            printf("\n");
            return fail(handle, "reading the serial ROM");
        }
        printf(" %02X", (unsigned)value);
    }
    printf("\n");
    if (!write) return 1;

    /* Vantix_WriteSromID verifies the byte and retries, but its result only
     * says that the first write was accepted: read the byte back to know. */
    int32_t ok = 0;
    int32_t original = Vantix_ReadSromID(handle, SROM_TEST_ADDRESS, &ok);
    if (!ok) return fail(handle, "reading the serial ROM test byte");
    int32_t changed = original ^ 0xA5;
    if (!Vantix_WriteSromID(handle, SROM_TEST_ADDRESS, changed)) return fail(handle, "writing the serial ROM");
    int32_t readBack = Vantix_ReadSromID(handle, SROM_TEST_ADDRESS, &ok);
    int readOk = ok;
    int restored = Vantix_WriteSromID(handle, SROM_TEST_ADDRESS, original);
    int32_t final = Vantix_ReadSromID(handle, SROM_TEST_ADDRESS, &ok);
    if (!readOk || !ok) return fail(handle, "reading the serial ROM back");
    if (!restored) return fail(handle, "restoring the serial ROM");
    printf("srom    byte 0x%03X: wrote 0x%02X, read back 0x%02X, restored 0x%02X\n", SROM_TEST_ADDRESS,
           (unsigned)changed, (unsigned)readBack, (unsigned)final);
    if (readBack != changed || final != original) {
        fprintf(stderr, "error: the serial ROM did not keep the bytes written\n");
        return 0;
    }
    return 1;
}

int main(int argc, char** argv) {
    int write = argc == 2 && strcmp(argv[1], "--write") == 0;
    if (argc > 2 || (argc == 2 && !write)) {
        fprintf(stderr, "usage: %s [--write]\n", argv[0]);
        return 2;
    }

    g_window = VantixExt_CreatePollableWindow();
    if (g_window == NULL) {
        fprintf(stderr, "error: no message window could be created\n");
        return 1;
    }
    int32_t handle = Vantix_Initialize(g_window);
    if (handle == 0) {
        fprintf(stderr, "error: no SDK session could be created\n");
        VantixExt_DestroyWindow(g_window);
        return 1;
    }
    int ok = Vantix_SetDeviceNumber(handle, 0) || fail(handle, "selecting camera 0");
    ok = ok && sensor_registers(handle, write);
    ok = ok && fpga_registers(handle, write);
    ok = ok && serial_rom(handle, write);

    if (!Vantix_Release(handle)) {
        fprintf(stderr, "error: releasing the session failed\n");
        ok = 0;
    }
    VantixExt_DestroyWindow(g_window);
    return ok ? 0 : 1;
}
