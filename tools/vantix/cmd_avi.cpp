// vantix avi repair FILE: makes a recording that was cut off (its program
// killed, the machine switched off) whole again: headers and index rebuilt
// over the frames that were written completely.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "avi_repair.h"
#include "cli.h"
#include "commands.h"

namespace cli {

int RunAvi(int argc, char** argv) {
    const bool help = argc >= 3 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "help") == 0);
    const bool json = argc == 5 && std::strcmp(argv[4], "--json") == 0;
    if (help || argc < 4 || (argc > 4 && !json) || std::strcmp(argv[2], "repair") != 0) {
        std::printf("usage: vantix avi repair FILE.avi [--json]\n"
                    "  Rebuilds the headers and the index of a recording that was cut off: every whole frame\n"
                    "  is kept, a partial frame at the end is removed. The file is changed in place.\n");
        return help ? kExitOk : kExitUsage;
    }
    const AviRepairResult result = RepairAvi(argv[3]);
    if (!result.repaired) {
        std::fprintf(stderr, "error: %s: %s\n", argv[3], result.error.c_str());
        return kExitFailure;
    }
    if (json) {
        std::printf("{\"file\":\"%s\",\"frames\":%" PRIu32 ",\"riffs\":%" PRIu32 ",\"cut_bytes\":%" PRIu64 "}\n",
                    JsonEscape(argv[3]).c_str(), result.frames, result.riffs, result.cutBytes);
    } else {
        std::printf("%s: %" PRIu32 " frames kept, %" PRIu64 " bytes cut off, index rebuilt\n", argv[3],
                    result.frames, result.cutBytes);
    }
    return kExitOk;
}

}  // namespace cli
