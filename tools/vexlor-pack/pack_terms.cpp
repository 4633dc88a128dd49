// SPDX-License-Identifier: Apache-2.0
#include "pack_terms.h"

#include <string_view>
#include <utility>

#include "pack_options.h"

namespace {

constexpr std::pair<std::string_view, std::string_view> kWindowsTerms[] = {
    {"Usage: vexlor-pack ", "Usage: vexlor-pack.exe "},
    {"  -h, --help        show this text\n", "  -h, --help, /?    show this text\n"},
    {"130 when SIGINT, SIGTERM or SIGHUP stopped it", "130 when Ctrl+C or closing the console window stopped it"},
};

}  // namespace

std::string PackUsageFor(bool windows) {
    std::string usage = PackUsage();
    if (!windows) return usage;
    for (const auto& [posix, own] : kWindowsTerms) {
        const size_t at = usage.find(posix);
        if (at != std::string::npos) usage.replace(at, posix.size(), own);
    }
    return usage;
}

const char* StopWatchFailure(bool windows) {
    return windows ? "vexlor-pack: cannot watch Ctrl+C and the closing of the window.\n"
                   : "vexlor-pack: cannot watch SIGINT, SIGTERM and SIGHUP.\n";
}
