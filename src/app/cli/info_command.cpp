// SPDX-License-Identifier: Apache-2.0
#include "app/cli/info_command.h"

#include <atomic>
#include <string>
#include <thread>

#include "app/cli/cli_session.h"
#include "app/cli/json_events_view.h"
#include "app/cli/package_check.h"
#include "app/cli/side_thread.h"
#include "app/common/exit_status.h"
#include "app/common/package_problem.h"
#include "app/runs/run_outcome.h"
#include "app/runs/status_text.h"
#include "engine/dl_status.h"
#include "engine/handset_info.h"
#include "engine/handset_probe.h"
#include "engine/version_text.h"
#include "platform/local_time.h"
#include "platform/stop_signals.h"
#include "serial/handset_identity.h"

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

// What this program's load is, by the whole package check (a header that reads well does not make
// a sound load).
struct LoadFacts {
    bool none = false;     // no load at all
    bool damaged = false;  // a load whose check failed
    std::string version;   // the load's version text, when sound
};

// How the load compares with the handset: "fits", "mismatch", "damaged", or "" when there is no
// load, or the handset told no version.
std::string LoadVerdict(const LoadFacts& load, const HandsetInfo& info) {
    if (load.damaged) return "damaged";
    if (load.none || load.version.empty() || info.softwareVersion.empty()) return {};
    return SameVersion(NewVersionOf(load.version), info.softwareVersion) ? "fits" : "mismatch";
}

void PrintInfo(const CliSession& session, const HandsetInfo& info, const LoadFacts& load) {
    std::string mode = ModeName(info.foundMode);
    if (info.mode != info.foundMode) mode += std::string(", switched to ") + ModeName(info.mode);
    session.Print("Port:             " + session.Port());
    session.Print("Mode:             " + mode);
    if (info.mode == PHONE_MODE_DL) {
        session.Print("Software version: (not told in download mode: switch the handset off and on to ask)");
    } else {
        session.Print("Software version: " + (info.softwareVersion.empty() ? "(no answer)" : info.softwareVersion));
        session.Print("Platform:         " + (info.platform.empty() ? "(no answer)" : info.platform));
        session.Print("ESN:              " + (info.esn ? EsnText(*info.esn) + " (" + EsnDecimal(*info.esn) + ")"
                                                       : std::string("(no answer)")));
    }
    const std::string verdict = LoadVerdict(load, info);
    if (verdict == "damaged") {
        session.Print("Firmware load:    damaged (this program file is a broken copy: copy it again)");
    } else if (verdict == "fits") {
        session.Print("Firmware load:    " + load.version + " (fits this handset)");
    } else if (verdict == "mismatch") {
        session.Print("Firmware load:    " + load.version + " (for version " + NewVersionOf(load.version) +
                      ": a version mismatch)");
    }
}

std::string TextOrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

// --info --json: the same facts as one "info" object; a handset that could not be reached is
// told with the status code, text and reason a run's final status would have.
void PrintInfoJson(const CliSession& session, const HandsetInfo* info, const std::string& why, const LoadFacts& load) {
    const PortClaim& claim = *session.Claims().front();
    std::string line = "{\"time\":" + JsonString(platform::IsoText(platform::Now())) +
                       ",\"event\":\"info\",\"port\":" + JsonString(claim.Port()) +
                       ",\"device\":" + JsonString(claim.Device()) + ",\"reached\":" + (info ? "true" : "false");
    if (info) {
        const bool told = info->mode != PHONE_MODE_DL;
        line += ",\"found_mode\":" + TextOrNull(ModeWord(info->foundMode)) +
                ",\"mode\":" + TextOrNull(ModeWord(info->mode)) +
                ",\"software_version\":" + (told ? TextOrNull(info->softwareVersion) : "null") +
                ",\"platform\":" + (told ? TextOrNull(info->platform) : "null") +
                ",\"esn\":" + (info->esn ? JsonString(EsnText(*info->esn)) : "null") +
                ",\"esn_dec\":" + (info->esn ? JsonString(EsnDecimal(*info->esn)) : "null");
    } else {
        line += ",\"code\":" + JsonString(StatusCodeText(STATUS_ERR_PORT)) +
                ",\"text\":" + JsonString(StatusLineBody(STATUS_ERR_PORT, session.Text())) +
                ",\"reason\":" + TextOrNull(why);
    }
    const std::string verdict = info ? LoadVerdict(load, *info) : (load.damaged ? "damaged" : "");
    line += ",\"load_version\":" + TextOrNull(load.version) + ",\"load\":" + TextOrNull(verdict) + "}";
    session.Print(line);
}

}  // namespace

int RunInfoCommand(CliSession& session) {
    // The load is checked first, as a download checks it: a damaged one is told, not taken to fit.
    LoadFacts load;
    platform::ReadOnlyFile program;
    CDLParameter package;
    bool interrupted = false;
    const int32_t checked = CheckPackage(session, program, package, {}, interrupted);
    if (interrupted) return kExitSignal;
    load.none = checked < 0 && CarriesNoPackage(checked, program);
    load.damaged = checked < 0 && !load.none;
    if (checked >= 0) load.version = package.GetVersion();

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
    MessageQueue::Message message;
    while (session.Queue().Wait(message) && message.message != kInfoFinished) {
        if (message.message == platform::StopSignalWatch::MESSAGE) {
            interrupted = true;
            stop.store(1);  // the detection loops end at their next look
        }
    }
    if (asker.joinable()) asker.join();
    if (interrupted) return kExitSignal;
    const bool json = session.Args().json;
    if (result < 0) {
        RunFailure failure;
        failure.port = link.DetectionFailure();
        const bool noHandset = result == SERCOM_ERR_NO_MODE || result == SERCOM_ERR_OPEN;
        const std::string why =
            noHandset ? FailureDetailLine(STATUS_ERR_PORT, failure, session.Port(), session.Text()) : std::string();
        if (json) {
            PrintInfoJson(session, nullptr, why, load);
        } else {
            session.Print(StatusLineText(STATUS_ERR_PORT, session.Text()));
            if (!why.empty()) session.Print("        " + why);
        }
    } else if (json) {
        PrintInfoJson(session, &info, "", load);
    } else {
        PrintInfo(session, info, load);
    }
    // A damaged load ends the task as it ends a download, whatever the handset said.
    if (load.damaged) {
        TellPackageProblem(session, checked, program);
        return kExitPackage;
    }
    return result < 0 ? kExitFailed : kExitDone;
}
