// SPDX-License-Identifier: Apache-2.0
// vexlor-pack: appends a firmware package to a copy of the Vexlor program.
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "pack_command.h"
#include "pack_install.h"
#include "pack_options.h"
#include "pack_setup.h"
#include "pack_terms.h"
#include "platform/notify_target.h"
#include "platform/stop_signals.h"
#include "platform/system_kind.h"

namespace {

constexpr int kExitStopped = 130;

// SIGINT, SIGTERM and SIGHUP (Ctrl+C on Windows) raise the flag; the writing looks at it between
// its pieces and gives up, so its temporary file goes with it.
class StopFlag : public platform::NotifyTarget {
public:
    void Post(uint32_t, uintptr_t) override { raised.store(true); }
    std::atomic<bool> raised{false};
};

}  // namespace

int main(int argc, char** argv) {
    // A file size limit or a reader of the output that went away fails a write instead of ending
    // the program: the temporary file is then removed and the error told, and a package already
    // in place is not turned into a failure by a report nobody reads.
    platform::KeepRunningOnFailedWrites();
    std::vector<std::string> args(argv + 1, argv + argc);
    if (AsksForInstall(args) || AsksForSetup(args)) {
        StopFlag stop;
        platform::StopSignalWatch signals;
        if (!signals.Install(&stop)) {
            std::fputs(StopWatchFailure(platform::kWindowsSystem), stderr);
            return 1;
        }
        const int status = AsksForInstall(args) ? RunInstall(args, stdout, stderr, &stop.raised)
                                                : RunSetup(args, stdout, stderr, &stop.raised);
        signals.Stop();
        return status;
    }
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
        std::fputs(PackUsageFor(platform::kWindowsSystem).c_str(), stdout);
        return 0;
    }
    StopFlag stop;
    platform::StopSignalWatch signals;
    if (!signals.Install(&stop)) {
        std::fputs(StopWatchFailure(platform::kWindowsSystem), stderr);
        return 1;
    }
    PackReport report;
    const bool packed = RunPack(options, error, report, &stop.raised);
    signals.Stop();
    if (!packed) {
        std::fprintf(stderr, "vexlor-pack: %s\n", error.c_str());
        return stop.raised.load() ? kExitStopped : 1;
    }
    // The package is in place whether or not anyone reads this.
    std::fputs(report.Text(options).c_str(), stdout);
    std::fflush(stdout);
    std::fputs(report.SignatureNote(options).c_str(), stderr);
    return 0;
}
