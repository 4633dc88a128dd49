// SPDX-License-Identifier: Apache-2.0
// vexlor: the firmware upgrade tool. Dispatches between the window and the headless commands.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli_arguments.h"
#include "app/cli/cli_session.h"
#include "app/cli/download_command.h"
#include "app/cli/info_command.h"
#include "app/cli/list_ports_command.h"
#include "app/cli/publish_command.h"
#include "app/cli/records_commands.h"
#include "app/cli/settings_report.h"
#include "app/cli/verify_command.h"
#include "app/common/exit_status.h"
#include "app/runs/message_queue.h"
#include "log/log.h"
#include "platform/stop_signals.h"
#include "platform/system_kind.h"
#include "platform/terminal.h"
#ifdef VEXLOR_WITH_WINDOW
#ifdef _WIN32
#include "app/win32/window_main.h"
#else
#include "app/window/window_main.h"
#endif
#endif

namespace {

// The headless tasks on a port: signals first (before any other thread exists, so every thread
// inherits the blocked signals), then the shared start-up, then the task.
int RunPortTask(const CliArguments& args) {
    MessageQueue queue;
    platform::StopSignalWatch signals;
    if (!signals.Install(&queue)) {
        std::fprintf(stderr, platform::kWindowsSystem ? "vexlor: cannot watch Ctrl+C and the closing of the window.\n"
                                                      : "vexlor: cannot watch SIGINT, SIGTERM and SIGHUP.\n");
        return kExitFailed;
    }
    int status = kExitDone;
    {
        CliSession session(args, stdout, stderr, queue);
        status = session.Start();
        if (status == kExitDone) {
            status = args.command == CliCommand::kInfo ? RunInfoCommand(session) : RunDownloadCommand(session);
        }
        // What the runs stored goes to the broker now where it can (a few seconds at most).
        session.EndDelivery(status == kExitSignal);
    }
    signals.Stop();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A reader of the output that goes away, or a file size limit, ends no run and no window: the
    // write fails instead, and the log, the report or the package check tells it.
    platform::KeepRunningOnFailedWrites();
    platform::UseUtf8Console();
    std::vector<std::string> args(argv + 1, argv + argc);
    CliArguments parsed;
    std::string error;
    if (!ParseCliArguments(args, parsed, error)) {
        std::fprintf(stderr, "vexlor: %s\nTry 'vexlor --help'.\n", error.c_str());
        return kExitUsage;
    }
    switch (parsed.command) {
    case CliCommand::kHelp: std::fputs(CliUsage().c_str(), stdout); return kExitDone;
    case CliCommand::kVersion: std::printf("vexlor %s\n", VEXLOR_VERSION_TEXT); return kExitDone;
    case CliCommand::kVerify: {
        OpenLogTellingFailure(parsed, stderr);
        const int status = RunVerifyCommand(stdout, stderr, parsed.quiet);
        LogClose();
        return status;
    }
    case CliCommand::kListPorts: return RunListPortsCommand(stdout, stderr);
    case CliCommand::kRecordsVerify:
    case CliCommand::kHistory:
    case CliCommand::kRecordsExport: return RunRecordsCommand(parsed, stdout, stderr);
    case CliCommand::kPublishPending: return RunPublishPendingCommand(parsed, stdout, stderr);
    case CliCommand::kDownload:
    case CliCommand::kInfo: return RunPortTask(parsed);
    case CliCommand::kWindow:
#ifdef VEXLOR_WITH_WINDOW
        return RunWindowApplication(argc, argv);
#else
        break;
#endif
    case CliCommand::kBench:
#ifdef VEXLOR_WITH_WINDOW
        return RunWindowApplication(argc, argv, StartWindow::kBench);
#else
        break;
#endif
    }
    std::fprintf(stderr, "vexlor: this build has no window; see 'vexlor --help' for the headless commands.\n");
    return kExitUsage;
}
