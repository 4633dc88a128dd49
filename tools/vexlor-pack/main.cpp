// SPDX-License-Identifier: Apache-2.0
// vexlor-pack: appends a firmware package to a copy of the Vexlor program.
#include <cstdio>
#include <string>
#include <vector>

#include "pack_command.h"
#include "pack_options.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    PackOptions options;
    std::string error;
    if (!ParsePackOptions(args, options, error)) {
        std::fprintf(stderr, "vexlor-pack: %s\nTry 'vexlor-pack --help'.\n", error.c_str());
        return 2;
    }
    if (options.showVersion) {
        std::printf("vexlor-pack %s\n", VEXLOR_VERSION_TEXT);
        return 0;
    }
    if (options.showHelp) {
        std::fputs(PackUsage(), stdout);
        return 0;
    }
    if (!RunPack(options, error)) {
        std::fprintf(stderr, "vexlor-pack: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
