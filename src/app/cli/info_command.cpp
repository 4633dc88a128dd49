// SPDX-License-Identifier: Apache-2.0
#include "app/cli/info_command.h"

#include <atomic>
#include <string>
#include <thread>

#include "app/cli/cli_session.h"
#include "app/cli/exit_status.h"
#include "app/cli/side_thread.h"
#include "app/cli/status_text.h"
#include "engine/dl_status.h"
#include "engine/handset_info.h"
#include "engine/version_text.h"
#include "package/dl_parameter.h"
#include "platform/program_path.h"
#include "platform/read_only_file.h"
#include "platform/stop_signals.h"

namespace {

constexpr uint32_t kInfoFinished = 0x7F03;  // posted by the asking thread at its end

const char* ModeName(EPhoneMode mode) {
    switch (mode) {
    case PHONE_MODE_DS: return "AT data mode";
    case PHONE_MODE_DIAG: return "diagnostic mode";
    case PHONE_MODE_DL: return "download mode";
    default: return "unknown";
    }
}

// The load's version text, or empty when this program carries no readable package.
std::string LoadVersion() {
    platform::ReadOnlyFile program;
    if (!program.Open(platform::ProgramPath())) return {};
    CDLParameter parameters;
    return parameters.ReadParameterFromFile(program) == 1 ? parameters.GetVersion() : std::string();
}

void PrintInfo(const CliSession& session, const HandsetInfo& info) {
    std::string mode = ModeName(info.foundMode);
    if (info.mode != info.foundMode) mode += std::string(", switched to ") + ModeName(info.mode);
    session.Print("Port:             " + session.Port());
    session.Print("Mode:             " + mode);
    if (info.mode == PHONE_MODE_DL) {
        session.Print("Software version: (not told in download mode: switch the handset off and on to ask)");
        return;
    }
    session.Print("Software version: " + (info.softwareVersion.empty() ? "(no answer)" : info.softwareVersion));
    session.Print("Platform:         " + (info.platform.empty() ? "(no answer)" : info.platform));
    const std::string load = LoadVersion();
    if (load.empty() || info.softwareVersion.empty()) return;
    const std::string loadDigits = NewVersionOf(load);
    session.Print("Firmware load:    " + load +
                  (SameVersion(loadDigits, info.softwareVersion)
                       ? " (fits this handset)"
                       : " (for version " + loadDigits + ": a version mismatch)"));
}

}  // namespace

int RunInfoCommand(CliSession& session) {
    CSerCOMLibrary link;
    std::atomic<int32_t> stop{0};
    link.SetStopRequest(&stop);
    link.SetDetectionPatienceMs(session.ExtraDetectionMs());
    HandsetInfo info;
    int32_t result = 0;
    auto ask = [&] {
        result = ReadHandsetInfo(link, session.Port().c_str(), info);
        session.Queue().Post(kInfoFinished, 0);
    };
    std::thread asker = StartBeside(ask);
    bool interrupted = false;
    MessageQueue::Message message;
    while (session.Queue().Wait(message) && message.message != kInfoFinished) {
        if (message.message == platform::StopSignalWatch::MESSAGE) {
            interrupted = true;
            stop.store(1);  // the detection loops end at their next look
        }
    }
    if (asker.joinable()) asker.join();
    if (interrupted) return kExitSignal;
    if (result < 0) {
        RunFailure failure;
        failure.port = link.DetectionFailure();
        const bool noHandset = result == SERCOM_ERR_NO_MODE || result == SERCOM_ERR_OPEN;
        session.Print(StatusLineText(STATUS_ERR_PORT, session.Text()));
        const std::string why =
            noHandset ? FailureDetailLine(STATUS_ERR_PORT, failure, session.Port(), session.Text()) : std::string();
        if (!why.empty()) session.Print("        " + why);
        return kExitFailed;
    }
    PrintInfo(session, info);
    return kExitDone;
}
