// SPDX-License-Identifier: Apache-2.0
#include "app/cli/cli_session.h"

#include <cerrno>
#include <chrono>

#include "app/cli/command_language.h"
#include "app/cli/settings_report.h"
#include "app/common/exit_status.h"
#include "app/common/port_numbers.h"
#include "app/runs/run_records.h"
#include "log/log.h"
#include "platform/station_names.h"
#include "platform/stop_signals.h"
#include "platform/terminal.h"
#include "serial/serial_port_list.h"

namespace {

constexpr std::chrono::milliseconds kPortLookPause{250};

// Whether a port of the list is the skip name wanted (as --port takes it: COMn, or a device path
// that the port map leads to the same device).
bool Skips(const std::string& wanted, const SerialCommValue& value, const std::string& name) {
    PortClaim claim(wanted);
    return wanted == name || wanted == value.device || (wanted[0] == '/' && claim.Resolve() && claim.Port() == name);
}

// Every port of the list (Bluetooth and infrared left out), as --all-ports asks, less those of
// --skip-port. A skip name that is no port of the list leaves nothing out: a typo, told on err.
std::vector<std::string> AllPorts(const std::vector<std::string>& skip, std::FILE* err) {
    std::vector<std::string> ports;
    std::vector<bool> used(skip.size(), false);
    for (const SerialCommValue& value : ReadSerialCommKey()) {
        const auto name = NormalisePortName(value.port);
        if (!name) continue;
        bool skipped = false;
        for (size_t i = 0; i < skip.size(); ++i) {
            if (!Skips(skip[i], value, *name)) continue;
            used[i] = true;
            skipped = true;
        }
        if (!skipped && !IsExcludedSerialDevice(value.device)) ports.push_back(*name);
    }
    for (size_t i = 0; i < skip.size(); ++i) {
        if (used[i]) continue;
        std::fprintf(err,
                     "vexlor: warning: --skip-port %s is not in the port list (see vexlor --cli --list-ports); "
                     "it leaves nothing out.\n",
                     skip[i].c_str());
    }
    return ports;
}

}  // namespace

CliSession::CliSession(const CliArguments& args, std::FILE* out, std::FILE* err, MessageQueue& queue)
    : m_args(args),
      m_out(out),
      m_err(err),
      m_terminal(platform::IsTerminal(out)),
      m_queue(queue),
      m_context{queue, [this](unsigned id) { return m_text(id); },
                [this](const std::string& line) {
                    if (!m_err) return;
                    std::fprintf(m_err, "vexlor: %s\n", line.c_str());
                    std::fflush(m_err);
                }} {}

CliSession::~CliSession() {
    m_claims.clear();  // the guards go before the log closes
    if (m_logOpen) LogClose();
}

void CliSession::Print(const std::string& line) const { Write(line + "\n"); }

void CliSession::Write(const std::string& text) const {
    if (m_outputGone) return;
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), m_out) == text.size() && std::fflush(m_out) == 0;
    if (!written && errno == EPIPE) m_outputGone = true;
}

int CliSession::Start() {
    if (const int status = ReportSettingsFile(m_err); status != kExitDone) return status;
    OpenLogTellingFailure(m_args, m_err);
    m_logOpen = true;
    if (const int status = LoadLanguage(); status != kExitDone) return status;
    if (const int status = OpenRecords(); status != kExitDone) return status;
    if (const int status = StartDelivery(); status != kExitDone) return status;
    if (const int status = ClaimPorts(); status != kExitDone) return status;
    if (m_claims.empty()) {
        std::fprintf(m_err, "vexlor: the port list is empty (see vexlor --cli --list-ports).\n");
        return kExitNoSuchPort;
    }
    if (!SinglePort()) return kExitDone;
    const PortClaim& claim = *m_claims.front();
    if (claim.Claimed()) return kExitDone;
    std::fprintf(m_err, "vexlor: %s\n", claim.Why().c_str());
    // A refusal is a result to record like any other where records are asked for.
    const bool recorded = m_args.command == CliCommand::kDownload && (m_args.json || m_args.reportFile);
    return recorded ? kExitDone : RefusalExitStatus(claim);
}

int RefusalExitStatus(const PortClaim& claim) {
    switch (claim.Result()) {
    case PortClaim::Outcome::kHeld: return kExitPortHeld;
    case PortClaim::Outcome::kLockFailed: return kExitLock;
    default: return kExitNoSuchPort;
    }
}

int CliSession::LoadLanguage() {
    if (!LoadCommandLanguage(m_args.language, m_language, m_err)) return kExitLanguage;
    m_text = [this](unsigned id) { return m_language.LoadString(id); };
    return kExitDone;
}

std::string RecordStorePath(const CliArguments& args) {
    return args.recordsFile ? *args.recordsFile : platform::DefaultRecordStorePath();
}

int CliSession::OpenRecords() {
    if (m_args.command != CliCommand::kDownload || m_args.noRecords) return kExitDone;
    const std::string path = RecordStorePath(m_args);
    StoreFailure failure;
    m_records = OpenRunStore(path, !m_args.recordsFile, failure);
    if (m_records) return kExitDone;
    std::fprintf(m_err, "vexlor: %s\n", StoreProblem(failure, path, m_text).c_str());
    return kExitReport;
}

int CliSession::ClaimPorts() {
    for (const std::string& port : m_args.allPorts ? AllPorts(m_args.skipPorts, m_err) : m_args.ports) {
        m_claims.push_back(std::make_unique<PortClaim>(port));
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(m_args.waitSeconds.value_or(0));
    std::vector<PortClaim*> waiting;
    for (auto& claim : m_claims) waiting.push_back(claim.get());
    bool told = false;
    for (;;) {
        std::erase_if(waiting, [](PortClaim* claim) { return claim->Resolve(); });
        if (waiting.empty() || Clock::now() >= deadline) break;
        if (!told && !m_args.quiet && !m_args.json) {
            std::string names;
            for (const PortClaim* claim : waiting) names += (names.empty() ? "" : ", ") + claim->Requested();
            Print("Waiting up to " + std::to_string(*m_args.waitSeconds) + " s for " + names + " to appear...");
            told = true;
        }
        MessageQueue::Message message;
        if (m_queue.WaitFor(message, kPortLookPause) && message.message == platform::StopSignalWatch::MESSAGE)
            return kExitSignal;
    }
    for (PortClaim* claim : waiting) {
        claim->RefuseAsAbsent(m_args.waitSeconds
                                  ? claim->Requested() + " did not appear within " +
                                        std::to_string(*m_args.waitSeconds) + " s."
                                  : claim->Requested() + " is not in the port list (see vexlor --cli --list-ports).");
    }
    // The same port twice, under one name or two, runs once.
    for (size_t i = 0; i < m_claims.size(); ++i) {
        PortClaim& claim = *m_claims[i];
        if (!claim.Resolved()) continue;
        bool twice = false;
        for (size_t k = 0; k < i && !twice; ++k) twice = m_claims[k]->Claimed() && m_claims[k]->Port() == claim.Port();
        if (twice) {
            claim.RefuseAsTwice();
        } else {
            claim.Guard();
        }
    }
    if (m_args.waitSeconds) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        m_extraDetectionMs = left > 0 ? static_cast<int>(left) : 0;
    }
    return kExitDone;
}
