// vantix: inspect and use Vantix cameras from the command line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands.h"

namespace {

void PrintUsage() {
    std::printf(
        "usage: vantix COMMAND [options]   (vantix COMMAND --help for details)\n\n"
        "  list     attached cameras\n"
        "  info     sensor, ranges and settings of a camera\n"
        "  snap     take a picture and save it (bmp, raw, jpg, png, tif)\n"
        "  record   record an AVI file\n"
        "  demo     a tour of the SDK, on a virtual camera when none is attached\n\n"
        "Environment: VANTIX_EMULATE=3040 adds a virtual camera; VANTIX_DEBUG=1 prints diagnostics.\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
        PrintUsage();
        return argc < 2 ? 2 : 0;
    }
    const std::string command = argv[1];
    if (command == "list") return cli::RunList(argc, argv);
    if (command == "info") return cli::RunInfo(argc, argv);
    if (command == "snap") return cli::RunSnap(argc, argv);
    if (command == "record") return cli::RunRecord(argc, argv);
    if (command == "demo") return cli::RunDemo(argc, argv);
    std::fprintf(stderr, "error: unknown command %s\n\n", command.c_str());
    PrintUsage();
    return 2;
}
