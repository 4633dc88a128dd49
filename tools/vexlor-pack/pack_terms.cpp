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

// The commands that make a working bench tool in one step, on Linux.
constexpr const char* kInstallUsage =
    "\n"
    "       vexlor-pack --install --load FILE --version TEXT [--program EXE]\n"
    "Packs the load into ~/.local/libexec/vexlor/vexlor (from EXE, by default the vexlor\n"
    "beside vexlor-pack) with the language libraries, checks it, and writes the user's\n"
    "own desktop entries (~/.local/share/applications) that start that copy.\n"
    "\n"
    "       vexlor-pack --setup OUT.exe --load FILE --version TEXT --windows DIR\n"
    "Makes a Windows setup program that installs a tool carrying the load: the Windows\n"
    "files of DIR (the release's unpacked windows zip) with the load packed into\n"
    "vexlor.exe and checked, through the release's installer script and NSIS (makensis).\n";

}  // namespace

std::string PackUsageFor(bool windows) {
    std::string usage = PackUsage();
    if (!windows) return usage + kInstallUsage;
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
