// `vantix reg`, `vantix fpga` and `vantix srom`: one sensor register, FPGA
// register or serial-ROM byte, read or written. Addresses and values are
// checked against what each space holds before the SDK is called, since the
// SDK would otherwise cut them to their low bits and reach another register.
// A write is read back and both values are shown.
#include <cstdio>
#include <string>
#include <vantix/exports.h>

#include "cli.h"
#include "commands.h"

namespace cli {
namespace {

enum class Space { kSensor, kSensorEx, kFpga, kSrom };

struct SpaceInfo {
    const char* command;   // as typed
    const char* name;      // in messages and JSON
    int64_t maxAddress;
    int64_t maxValue;
    int addressDigits;     // for printing
    int valueDigits;
};

SpaceInfo InfoOf(Space space) {
    switch (space) {
        // The plain calls take the register's low 8 bits and the value's low 16.
        case Space::kSensor: return {"reg", "sensor", 0xFF, 0xFFFF, 2, 4};
        // The whole 32-bit address is passed on; the sensor refuses what it
        // cannot address. Values are 16 bits.
        case Space::kSensorEx: return {"reg", "sensor", 0xFFFFFFFF, 0xFFFF, 4, 4};
        // FPGA registers hold one byte each (the SDK passes 16 bits on, of
        // which the register keeps the low byte).
        case Space::kFpga: return {"fpga", "fpga", 0xFF, 0xFF, 2, 2};
        // The serial ROM has 4096 bytes.
        case Space::kSrom: break;
    }
    return {"srom", "srom", 0xFFF, 0xFF, 3, 2};
}

// Reads one register; false when the camera did not answer.
bool ReadValue(int32_t handle, Space space, int32_t address, int32_t* value) {
    int32_t ok = 1;  // the FPGA read only ever clears it
    switch (space) {
        case Space::kSensor: *value = Vantix_ReadRegister(handle, address, &ok); break;
        case Space::kSensorEx: *value = Vantix_ReadRegisterEx(handle, address, &ok); break;
        case Space::kFpga: *value = Vantix_Fpga_ReadRegister(handle, address, &ok); break;
        case Space::kSrom: *value = Vantix_ReadSromID(handle, address, &ok); break;
    }
    return ok != 0;
}

bool WriteValue(int32_t handle, Space space, int32_t address, int32_t value) {
    switch (space) {
        case Space::kSensor: return Vantix_WriteRegister(handle, address, value) != 0;
        case Space::kSensorEx: return Vantix_WriteRegisterEx(handle, address, value) != 0;
        case Space::kFpga: return Vantix_Fpga_WriteRegister(handle, address, value) != 0;
        case Space::kSrom: return Vantix_WriteSromID(handle, address, value) != 0;
    }
    return false;
}

std::string Hex(int64_t value, int digits) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<long long>(value));
    return text;
}

void PrintUsage(const char* command) {
    const std::string c = command;
    if (c == "reg") {
        std::printf("usage: vantix reg read ADDR [--ex] [--camera N] [--json]\n"
                    "       vantix reg write ADDR VALUE [--ex] [--camera N] [--json]\n"
                    "  A sensor register: ADDR 0..0xFF (with --ex, which passes the whole 32-bit address:\n"
                    "  0..0xFFFFFFFF; this camera's sensor answers up to 0xFFFF), VALUE 0..0xFFFF.\n"
                    "  A write is read back.\n");
    } else if (c == "fpga") {
        std::printf("usage: vantix fpga read REG [--camera N] [--json]\n"
                    "       vantix fpga write REG VALUE [--camera N] [--json]\n"
                    "  An FPGA register: REG 0..0xFF, VALUE 0..0xFF. A write is read back.\n");
    } else {
        std::printf("usage: vantix srom read ADDR [--count N] [--camera N] [--json]\n"
                    "       vantix srom write ADDR VALUE [--camera N] [--json]\n"
                    "  The serial ROM: ADDR 0..0xFFF, VALUE 0..0xFF; --count reads N bytes from ADDR.\n"
                    "  A write is read back and fails unless the byte reads back as written.\n");
    }
    std::printf("  Numbers are decimal or 0x-prefixed hexadecimal; values print in both.\n");
}

int Run(int argc, char** argv, const char* command) {
    Options options;
    const bool srom = std::string(command) == "srom";
    const bool sensor = std::string(command) == "reg";
    std::vector<std::string> withValue = {"camera"};
    if (srom) withValue.push_back("count");
    std::vector<std::string> flags = {"help", "json"};
    if (sensor) flags.push_back("ex");
    if (!ParseOptions(argc, argv, 2, withValue, flags, &options)) return kExitUsage;
    const std::vector<std::string>& args = options.positionals;
    if (options.Has("help")) {
        PrintUsage(command);
        return kExitOk;
    }
    const std::string action = args.empty() ? "" : args[0];
    if ((action != "read" && action != "write") || args.size() != (action == "read" ? 2u : 3u)) {
        if (action.empty()) {
            PrintError("%s needs a subcommand, read or write\n", command);
        } else if (action != "read" && action != "write") {
            PrintError("unknown %s subcommand %s\n", command, action.c_str());
        } else {
            PrintError("wrong number of arguments\n");
        }
        PrintUsage(command);
        return kExitUsage;
    }
    const Space space = srom ? Space::kSrom : sensor ? (options.Has("ex") ? Space::kSensorEx : Space::kSensor) : Space::kFpga;
    const SpaceInfo info = InfoOf(space);
    int64_t address = 0, value = 0, count = 1;
    if (!ParseInteger(args[1], 0, info.maxAddress, &address)) {
        PrintError("%s address %s is not a number from 0 to %s%s\n", info.name, args[1].c_str(),
                     Hex(info.maxAddress, 0).c_str(), space == Space::kSensor ? " (use --ex for 16-bit addresses)" : "");
        return kExitUsage;
    }
    if (action == "write" && !ParseInteger(args[2], 0, info.maxValue, &value)) {
        PrintError("%s value %s is not a number from 0 to %s\n", info.name, args[2].c_str(),
                     Hex(info.maxValue, 0).c_str());
        return kExitUsage;
    }
    if (options.Has("count") && (action != "read" || !ParseInteger(options.Get("count"), 1, 4096, &count) ||
                                 address + count - 1 > info.maxAddress)) {
        PrintError("--count goes with read and must keep the addresses within 0..%s\n",
                     Hex(info.maxAddress, 0).c_str());
        return kExitUsage;
    }
    int32_t index = 0;
    if (!ParseCamera(options, &index)) return kExitUsage;
    const int32_t handle = OpenSession(index);
    if (handle == 0) return kExitFailure;
    const bool json = options.Has("json");
    int status = kExitOk;

    if (action == "read") {
        // Several serial-ROM bytes print as a hex dump, 16 to a line.
        const bool dump = space == Space::kSrom && count > 1 && !json;
        std::string line;
        if (json) std::printf("%s", count > 1 ? "[" : "");
        for (int64_t i = 0; i < count; ++i) {
            const int64_t at = address + i;
            int32_t read = 0;
            if (!ReadValue(handle, space, static_cast<int32_t>(static_cast<uint32_t>(at)), &read)) {
                if (json && i > 0) std::printf("]\n");
                if (!line.empty()) std::printf("%s\n", line.c_str());
                status = Fail(handle, std::string("reading ") + info.name + " " + Hex(at, info.addressDigits));
                break;
            }
            if (json) {
                std::printf("%s{\"space\":\"%s\",\"address\":%lld,\"value\":%d,\"hex\":\"%s\"}", i ? "," : "",
                            info.name, static_cast<long long>(at), read, Hex(read, info.valueDigits).c_str());
            } else if (dump) {
                char cell[8];
                if (line.empty() || at % 16 == 0) {
                    if (!line.empty()) std::printf("%s\n", line.c_str());
                    std::snprintf(cell, sizeof cell, "%03llx:", static_cast<long long>(at & ~int64_t{15}));
                    line = cell;
                    for (int64_t gap = at % 16; gap > 0; --gap) line += "   ";
                }
                std::snprintf(cell, sizeof cell, " %02x", read & 0xFF);
                line += cell;
            } else {
                std::printf("%s %s = %s (%d)\n", info.command, Hex(at, info.addressDigits).c_str(),
                            Hex(read, info.valueDigits).c_str(), read);
            }
            if (json && i + 1 == count) std::printf("%s\n", count > 1 ? "]" : "");
        }
        if (dump && status == kExitOk && !line.empty()) std::printf("%s\n", line.c_str());
    } else {
        const int64_t at = address;
        const auto written = static_cast<int32_t>(value);
        const auto sdkAddress = static_cast<int32_t>(static_cast<uint32_t>(address));
        int32_t readBack = 0;
        if (!WriteValue(handle, space, sdkAddress, written)) {
            status = Fail(handle, std::string("writing ") + info.name + " " + Hex(at, info.addressDigits));
        } else {
            const bool readable = ReadValue(handle, space, sdkAddress, &readBack);
            if (json) {
                std::printf("{\"space\":\"%s\",\"address\":%lld,\"written\":%d,\"readBack\":", info.name,
                            static_cast<long long>(at), written);
                if (readable) {
                    std::printf("%d}\n", readBack);
                } else {
                    std::printf("null}\n");
                }
            } else {
                std::printf("%s %s <- %s (%d)", info.command, Hex(at, info.addressDigits).c_str(),
                            Hex(written, info.valueDigits).c_str(), written);
                if (readable) {
                    std::printf(", reads back %s (%d)\n", Hex(readBack, info.valueDigits).c_str(), readBack);
                } else {
                    std::printf(", cannot be read back\n");
                }
            }
            // The serial ROM is memory: a byte that does not read back as
            // written was not stored, whatever the write call said.
            if (space == Space::kSrom && (!readable || readBack != written)) {
                PrintError("the serial ROM byte at %s did not keep the value written\n",
                             Hex(at, info.addressDigits).c_str());
                status = kExitFailure;
            }
        }
    }
    Vantix_Release(handle);
    return status;
}

}  // namespace

int RunReg(int argc, char** argv) { return Run(argc, argv, "reg"); }
int RunFpga(int argc, char** argv) { return Run(argc, argv, "fpga"); }
int RunSrom(int argc, char** argv) { return Run(argc, argv, "srom"); }

}  // namespace cli
