// SPDX-License-Identifier: Apache-2.0
// vexlor-chaos-relay: a faulty serial line between Vexlor and the handset simulator, for the
// fault soak (scripts/soak.sh). See RelayHelpText().
#include <cstdio>
#include <string>
#include <vector>

#include "chaos_plan.h"
#include "chaos_relay.h"
#include "relay_options.h"
#include "stop_signals.h"

int main(int argc, char** argv) {
    RelayOptions options;
    if (const std::string error = ParseRelayOptions(std::vector<std::string>(argv + 1, argv + argc), options);
        !error.empty()) {
        std::fprintf(stderr, "vexlor-chaos-relay: %s\nTry 'vexlor-chaos-relay --help'.\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(RelayHelpText(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("vexlor-chaos-relay %s\n", VEXLOR_VERSION_TEXT);
        return 0;
    }

    int wakeRead = -1;
    if (!InstallStopSignals(wakeRead)) {
        std::perror("vexlor-chaos-relay: stop signals");
        return 1;
    }

    std::FILE* trace = nullptr;
    if (!options.logFile.empty() && !(trace = std::fopen(options.logFile.c_str(), "a"))) {
        std::perror(options.logFile.c_str());
        return 1;
    }

    ChaosRelay relay;
    if (const std::string error = relay.Open(options.device); !error.empty()) {
        std::fprintf(stderr, "vexlor-chaos-relay: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", relay.ToolPath().c_str());
    std::fflush(stdout);

    ChaosPlan plan(options.seed, options.percent, options.maxDelayMs);
    const ChaosRelay::End end = relay.Run(wakeRead, plan, trace);
    static const char* const kEnds[] = {"stopped", "line dropped", "handset gone", "failed"};
    if (trace) {
        std::fprintf(trace, "end: %s %s\n", kEnds[static_cast<int>(end)], relay.LastError().c_str());
        std::fclose(trace);
    }
    relay.Close();
    if (end == ChaosRelay::End::Error) {
        std::fprintf(stderr, "vexlor-chaos-relay: %s\n", relay.LastError().c_str());
        return 1;
    }
    return 0;
}
