// vexlor: the firmware upgrade tool. Dispatches between the window and the headless commands.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/cli_arguments.h"
#include "app/cli/download_command.h"
#include "app/cli/list_ports_command.h"
#include "app/cli/verify_command.h"
#include "log/log.h"
#ifdef VEXLOR_WITH_WINDOW
#include "app/window/window_main.h"
#endif

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    CliArguments parsed;
    std::string error;
    if (!ParseCliArguments(args, parsed, error)) {
        std::fprintf(stderr, "vexlor: %s\nTry 'vexlor --help'.\n", error.c_str());
        return 2;
    }
    switch (parsed.command) {
        case CliCommand::kHelp:
            std::fputs(CliUsage(), stdout);
            return 0;
        case CliCommand::kVersion:
            std::printf("vexlor %s\n", VEXLOR_VERSION_TEXT);
            return 0;
        case CliCommand::kVerify: {
            LogOpen("SOFTWARE\\Vexlor");
            const int status = RunVerifyCommand(stdout, stderr);
            LogClose();
            return status;
        }
        case CliCommand::kListPorts:
            return RunListPortsCommand(stdout);
        case CliCommand::kDownload:
            return RunDownloadCommand(parsed, stdout, stderr);
        case CliCommand::kWindow:
#ifdef VEXLOR_WITH_WINDOW
            return RunWindowApplication(argc, argv);
#else
            break;
#endif
    }
    std::fprintf(stderr, "vexlor: this build has no window; see 'vexlor --help' for the headless commands.\n");
    return 2;
}
