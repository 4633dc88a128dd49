// SPDX-License-Identifier: Apache-2.0
#include "app/cli/verify_command.h"

#include <cerrno>
#include <string>
#include <thread>

#include "app/cli/progress_printer.h"
#include "app/cli/side_thread.h"
#include "app/common/exit_status.h"
#include "app/common/pack_advice.h"
#include "app/common/package_problem.h"
#include "app/runs/message_queue.h"
#include "package/dl_parameter.h"
#include "package/package_checks.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"
#include "platform/sys_error.h"
#include "platform/terminal.h"
#include "platform/window_messages.h"

namespace {

constexpr const char* kDamagedHint =
    "This program file is damaged: a part of it is missing or changed, as a broken copy leaves it. Copy it "
    "again from where it came from (or pack it again with vexlor-pack).";

struct CheckOutcome {
    int32_t result = 0;
    int failedStep = 0;
};

}  // namespace

int RunVerifyCommand(std::FILE* out, std::FILE* err, bool quiet) {
    const std::string path = platform::ProgramPath();
    platform::ReadOnlyFile file;
    if (path.empty() || !file.Open(path)) {
        std::fprintf(err, "vexlor: cannot open the program file %s: %s\n", path.c_str(),
                     platform::SysErrorPhrase(errno).c_str());
        return 1;
    }

    MessageQueue queue;
    CDLParameter parameters;
    CheckOutcome outcome;
    auto check = [&] {
        outcome.result = RunPackageChecks(file, parameters, &queue, &outcome.failedStep);
        queue.Close();
    };
    std::thread checker = StartBeside(check);

    ProgressPrinter progress(out, platform::IsTerminal(out), "Checking the package");
    MessageQueue::Message message;
    while (queue.Wait(message)) {
        if (message.message == WM_DL_PROGRESS && !quiet) progress.Show(message.wParam);
    }
    if (checker.joinable()) checker.join();
    progress.End();

    if (outcome.result != 1) {
        std::fprintf(err, "%s (error code %X)\n", PackageCheckStepMessage(outcome.failedStep),
                     static_cast<unsigned>(outcome.result));
        if (CarriesNoPackage(outcome.result, file)) {
            std::fprintf(err, "This copy of Vexlor carries no firmware load yet.\nTo pack one into a copy of it: %s\n",
                         PackCommandFor(path).c_str());
        } else {
            std::fprintf(err, "%s\n", kDamagedHint);
        }
        return kExitPackage;
    }
    std::fprintf(out, "The package is sound: load version \"%s\", %u bytes.\n", parameters.GetVersion().c_str(),
                 parameters.GetLoadSize());
    return 0;
}
