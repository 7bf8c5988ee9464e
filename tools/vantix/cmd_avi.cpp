// vantix avi repair FILE: makes a recording that was cut off (its program
// killed, the machine switched off) whole again: headers and index rebuilt
// over the frames that were written completely.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "avi_repair.h"
#include "cli.h"
#include "commands.h"

namespace cli {

int RunAvi(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, 2, {}, {"help", "json"}, &options)) return kExitUsage;
    const std::vector<std::string>& args = options.positionals;
    const bool help = options.Has("help") || (!args.empty() && args[0] == "help");
    const bool json = options.Has("json");
    if (help || args.size() != 2 || args[0] != "repair") {
        // With --json a refusal is only the JSON error, so stdout stays one object.
        if (help || !JsonErrors()) {
            std::printf("usage: vantix avi repair FILE.avi [--json]\n"
                        "  Rebuilds the headers and the index of a recording that was cut off: every whole frame\n"
                        "  is kept, a partial frame at the end is removed. The file is changed in place.\n");
        }
        if (help) return kExitOk;
        if (args.empty() || args[0] != "repair") {
            PrintError("avi needs the subcommand repair%s%s\n", args.empty() ? "" : ", not ",
                       args.empty() ? "" : args[0].c_str());
        } else {
            PrintError("avi repair takes one file name\n");
        }
        return kExitUsage;
    }
    const std::string& file = args[1];
    const AviRepairResult result = RepairAvi(file.c_str());
    if (!result.repaired) {
        PrintError("%s: %s\n", file.c_str(), result.error.c_str());
        return kExitFailure;
    }
    if (json) {
        std::printf("{\"file\":\"%s\",\"frames\":%" PRIu32 ",\"riffs\":%" PRIu32 ",\"cut_bytes\":%" PRIu64 "}\n",
                    JsonEscape(file).c_str(), result.frames, result.riffs, result.cutBytes);
    } else {
        std::printf("%s: %" PRIu32 " frames kept, %" PRIu64 " bytes cut off, index rebuilt\n", file.c_str(),
                    result.frames, result.cutBytes);
    }
    return kExitOk;
}

}  // namespace cli
