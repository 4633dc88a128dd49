// SPDX-License-Identifier: Apache-2.0
// How long the listener takes to find the handset's mode once the port is opened, for replies
// that come whole and for replies in 4-byte pieces 16, 40 and 90 ms apart (a USB adapter's latency
// timer at its default, raised, and near the read window). Manual time: only the detection.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "download_rig.h"
#include "link/ser_com_library.h"

namespace {

using Clock = std::chrono::steady_clock;

void Detection(benchmark::State& state, const char* mode, int pieceGapMs) {
    DownloadRig rig;
    std::vector<std::string> options = {"--mode", mode};
    if (pieceGapMs > 0) {
        options.push_back("--reply-pieces");
        options.push_back("4," + std::to_string(pieceGapMs));
    }
    if (!rig.StartSimulator(options)) {
        state.SkipWithError("the simulator did not start");
        return;
    }
    setenv("VEXLOR_REGISTRY", rig.SettingsPath().c_str(), 1);
    for (auto _ : state) {
        CSerCOMLibrary link;
        const Clock::time_point start = Clock::now();
        link.OpenComport("bench", DownloadRig::kPort);
        const Clock::time_point limit = start + std::chrono::seconds(10);
        while ((link.Mode() == PHONE_MODE_UNKNOWN || link.Mode() == PHONE_MODE_NONE) && Clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (link.Mode() == PHONE_MODE_UNKNOWN || link.Mode() == PHONE_MODE_NONE) {
            state.SkipWithError("no mode found within 10 s");
            break;
        }
        state.SetIterationTime(seconds);
        link.CloseCOMPort();
    }
}

#define VEXLOR_DETECTION(mode, gap)                                   \
    BENCHMARK_CAPTURE(Detection, mode##_pieces_##gap##ms, #mode, gap) \
        ->UseManualTime()                                             \
        ->Iterations(10)                                              \
        ->Unit(benchmark::kMillisecond)

VEXLOR_DETECTION(ds, 0);
VEXLOR_DETECTION(ds, 16);
VEXLOR_DETECTION(ds, 40);
VEXLOR_DETECTION(ds, 90);
VEXLOR_DETECTION(diag, 0);
VEXLOR_DETECTION(diag, 16);
VEXLOR_DETECTION(diag, 40);
VEXLOR_DETECTION(diag, 90);
VEXLOR_DETECTION(dl, 0);
VEXLOR_DETECTION(dl, 16);
VEXLOR_DETECTION(dl, 40);
VEXLOR_DETECTION(dl, 90);

}  // namespace

BENCHMARK_MAIN();
