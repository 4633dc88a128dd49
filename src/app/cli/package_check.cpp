// SPDX-License-Identifier: Apache-2.0
#include "app/cli/package_check.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/cli/cli_session.h"
#include "app/cli/side_thread.h"
#include "app/common/package_problem.h"
#include "engine/dl_operator.h"
#include "platform/program_path.h"
#include "platform/stop_signals.h"
#include "platform/window_messages.h"

namespace {

constexpr uint32_t kCheckFinished = 0x7F02;  // posted by the package-check thread at its end
constexpr std::chrono::milliseconds kPoll{100};

}  // namespace

int32_t CheckPackage(CliSession& session, platform::ReadOnlyFile& program, CDLParameter& parameters,
                     const std::function<void(unsigned)>& progress, bool& interrupted) {
    program.Open(platform::ProgramPath());  // a failure shows as a failed check
    CDLOperator checker;
    checker.SetNotifyTarget(&session.Queue());
    int32_t result = 0;
    auto check = [&] {
        result = checker.SetLoad(program.IsOpen() ? &program : nullptr);
        session.Queue().Post(kCheckFinished, 0);
    };
    std::thread thread = StartBeside(check);
    MessageQueue::Message message;
    for (;;) {
        if (!session.Queue().WaitFor(message, kPoll)) continue;
        if (message.message == kCheckFinished) break;
        if (message.message == WM_DL_PROGRESS && progress) progress(static_cast<unsigned>(message.wParam));
        if (message.message == platform::StopSignalWatch::MESSAGE) interrupted = true;
    }
    if (thread.joinable()) thread.join();
    parameters = checker.Parameters();
    return result;
}

void TellPackageProblem(const CliSession& session, int32_t checkResult, const platform::ReadOnlyFile& program) {
    const bool none = CarriesNoPackage(checkResult, program);
    std::fprintf(session.Err(), "%s\n", PackageCheckMessage(none, program.Path(), session.Text()).c_str());
    if (!none) std::fprintf(session.Err(), "vexlor: this program file is damaged (a broken copy?): copy it again.\n");
}
