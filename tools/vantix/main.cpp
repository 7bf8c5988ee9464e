// vantix: inspect and use Vantix cameras from the command line.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <vantix/exports.h>

#include "cli.h"
#include "commands.h"

namespace {

void PrintUsage() {
    std::printf(
        "usage: vantix COMMAND [options]   (vantix COMMAND --help for details; --json on every command)\n\n"
        "  list      attached cameras\n"
        "  info      sensor, ranges and settings of a camera\n"
        "  snap      take a picture and save it (bmp, raw, jpg, png, tif)\n"
        "  record    record an AVI file\n"
        "  stream    run the camera and report frames, frame rate and dropped frames each second\n"
        "  reg       read or write a sensor register\n"
        "  fpga      read or write an FPGA register\n"
        "  srom      read or write the serial ROM\n"
        "  settings  show, export, import or reset a camera's stored settings\n"
        "  mask      take the dark and bright defect-mask references; save or check mask files\n"
        "  avi       repair a recording that was cut off (vantix avi repair FILE)\n"
        "  demo      a tour of the SDK, on a virtual camera when none is attached\n"
        "  doctor    check what a real camera needs (libusb, USB speed, udev rule, permissions)\n"
        "  viewer    the live picture in a window, with snapshots, recording and the settings dialogs\n\n"
        "Options of every command: --help (-h), --json (results and errors as JSON on stdout).\n"
        "Commands that change camera settings (--exposure-ms, --gain, ...) keep them for themselves;\n"
        "--save stores them for later programs (vantix settings shows what is stored).\n"
        "vantix --version prints the tool's and the library's version.\n\n"
        "Environment: VANTIX_EMULATE=3040 adds a virtual camera; VANTIX_REGISTRY names the settings file;\n"
        "VANTIX_USB_TRACE=FILE logs the requests sent to the camera; VANTIX_DEBUG=1 prints diagnostics.\n"
        "Exit status: 0 done, 1 failed, 2 bad command line, 130 stopped by Ctrl-C before the work was done.\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0 ||
        std::strcmp(argv[1], "help") == 0) {
        PrintUsage();
        return argc < 2 ? 2 : 0;
    }
    if (std::strcmp(argv[1], "--version") == 0) {
        const auto version = static_cast<uint32_t>(Vantix_GetDllVersion());
        std::printf("vantix %d.%d.%d (library version 0x%08X)\n", VANTIX_TOOL_VERSION_MAJOR, VANTIX_TOOL_VERSION_MINOR,
                    VANTIX_TOOL_VERSION_PATCH, version);
        return 0;
    }
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) cli::SetJsonErrors(true);
    }
    // Every subcommand also answers -h.
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "-h") == 0) argv[i] = const_cast<char*>("--help");
    }
    const std::string command = argv[1];
    if (command == "list") return cli::RunList(argc, argv);
    if (command == "info") return cli::RunInfo(argc, argv);
    if (command == "snap") return cli::RunSnap(argc, argv);
    if (command == "record") return cli::RunRecord(argc, argv);
    if (command == "demo") return cli::RunDemo(argc, argv);
    if (command == "stream") return cli::RunStream(argc, argv);
    if (command == "reg") return cli::RunReg(argc, argv);
    if (command == "fpga") return cli::RunFpga(argc, argv);
    if (command == "srom") return cli::RunSrom(argc, argv);
    if (command == "settings") return cli::RunSettings(argc, argv);
    if (command == "mask") return cli::RunMask(argc, argv);
    if (command == "doctor") return cli::RunDoctor(argc, argv);
    if (command == "avi") return cli::RunAvi(argc, argv);
    if (command == "viewer") {
        // The viewer is a GTK program of its own, installed beside this one,
        // so the command-line tool itself never needs a display or GTK.
        char self[4096] = {};
        const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
        std::string viewer = "vantix-viewer";
        if (length > 0) {
            std::string directory(self, static_cast<size_t>(length));
            directory.erase(directory.rfind('/') + 1);
            // Installed side by side; in the build tree the viewer has a folder of its own.
            for (const std::string& candidate : {directory + "vantix-viewer", directory + "../viewer/vantix-viewer"}) {
                if (access(candidate.c_str(), X_OK) == 0) {
                    viewer = candidate;
                    break;
                }
            }
        }
        argv[1] = const_cast<char*>(viewer.c_str());
        execvp(viewer.c_str(), argv + 1);
        cli::PrintError("cannot start %s: %s\n", viewer.c_str(), std::strerror(errno));
        return 1;
    }
    cli::PrintError("unknown command %s (vantix --help lists them)\n", command.c_str());
    if (!cli::JsonErrors()) PrintUsage();
    return 2;
}
