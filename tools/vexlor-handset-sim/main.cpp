// SPDX-License-Identifier: Apache-2.0
// vexlor-handset-sim: an emulated handset on a pseudo-terminal. See SimHelpText() for the
// command line; the protocol lives in HandsetModel, the line in PtyPort, the loop in SimRunner.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "handset_sequence.h"
#include "pty_port.h"
#include "serialcomm_entry.h"
#include "sim_options.h"
#include "sim_runner.h"
#include "stop_signals.h"
#include "trace_log.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "vexlor-handset-sim: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    SimOptions options;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (const std::string error = ParseSimOptions(args, options); !error.empty()) {
        std::fprintf(stderr, "vexlor-handset-sim: %s\nTry 'vexlor-handset-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options.version) {
        std::printf("vexlor-handset-sim %s\n", VEXLOR_VERSION_TEXT);
        return 0;
    }
    if (options.help) {
        std::fputs(SimHelpText().c_str(), stdout);
        return 0;
    }

    int wakeRead = -1;
    if (!InstallStopSignals(wakeRead)) return Fail(std::string("signal set-up: ") + std::strerror(errno));

    TraceLog trace;
    if (!options.logFile.empty()) {
        if (const std::string error = trace.Open(options.logFile); !error.empty()) return Fail(error);
    }

    PtyPort port;
    if (const std::string error = port.Open(); !error.empty()) return Fail(error);
    const std::string path = port.SlavePath();

    // Registered before the path is printed: whoever reads the path can use the COM name at once.
    if (!options.registerFile.empty()) {
        if (const std::string error = RegisterSerialPort(options.registerFile, path, options.comName); !error.empty()) {
            return Fail(error);
        }
    }

    std::printf("%s\n", path.c_str());
    std::fflush(stdout);

    trace.Line("terminal " + path + ", start mode " + HandsetModeName(options.handset.startMode));
    // The terminal's number makes this bench's ESNs its own: two simulators never share one.
    const size_t digits = path.find_last_not_of("0123456789") + 1;
    const uint32_t terminal =
        digits < path.size() ? static_cast<uint32_t>(std::strtoul(path.c_str() + digits, nullptr, 10)) : 0;
    options.esnBase += (terminal % 0x10000) * 0x100;
    HandsetSequence handsets(options, [&trace](const std::string& note) { trace.Line(note); });
    SimRunner runner(options, port, handsets, trace);
    const SimRunner::Outcome outcome = runner.Run(wakeRead);

    static const char* const OUTCOMES[] = {"stopped by a signal", "line dropped", "reset done", "line failed"};
    trace.Line(std::string("end: ") + OUTCOMES[static_cast<int>(outcome)]);
    if (outcome == SimRunner::Outcome::ResetDone && !port.WaitUntilTaken(1000)) {
        trace.Line("the tool did not read the reset acknowledgement");
    }
    port.Close();
    runner.SaveImage();
    if (!options.registerFile.empty()) {
        if (const std::string error = UnregisterSerialPort(options.registerFile, path, options.comName);
            !error.empty()) {
            std::fprintf(stderr, "vexlor-handset-sim: %s\n", error.c_str());
        }
    }
    return outcome == SimRunner::Outcome::LineError ? 1 : 0;
}
