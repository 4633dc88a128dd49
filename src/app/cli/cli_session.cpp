#include "app/cli/cli_session.h"

#include <chrono>
#include <filesystem>
#include <unistd.h>

#include "app/cli/exit_status.h"
#include "app/cli/signal_watch.h"
#include "app/common/language_choice.h"
#include "log/log.h"
#include "log/log_overrides.h"
#include "platform/file_holder.h"
#include "platform/program_path.h"
#include "platform/registry.h"
#include "platform/sys_error.h"
#include "serial/serial_port_list.h"

namespace {

constexpr const char* kLogKey = "SOFTWARE\\Vexlor";
constexpr std::chrono::milliseconds kPortLookPause{250};

std::string SameFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

}  // namespace

CliSession::CliSession(const CliArguments& args, std::FILE* out, std::FILE* err, MessageQueue& queue)
    : m_args(args), m_out(out), m_err(err), m_terminal(isatty(fileno(out)) == 1), m_queue(queue) {}

CliSession::~CliSession() {
    m_guard.Close();
    if (m_logOpen) LogClose();
}

void CliSession::Print(const std::string& line) const {
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

int CliSession::Start() {
    if (const int status = CheckSettings(); status != kExitDone) return status;
    LogOverrides overrides;
    overrides.level = m_args.logLevel;
    overrides.folder = m_args.logFolder;
    LogOpenWith(kLogKey, overrides);
    m_logOpen = true;
    if (const int status = LoadLanguage(); status != kExitDone) return status;
    if (const int status = WaitForPort(); status != kExitDone) return status;
    return GuardPort();
}

int CliSession::CheckSettings() {
    const platform::Registry::SettingsCheck check = platform::Registry::CheckSettingsFile();
    if (check.error == 0) return kExitDone;
    std::fprintf(m_err, "vexlor: cannot read the settings file %s: %s\n", check.path.c_str(),
                 platform::SysErrorText(check.error).c_str());
    return kExitSettings;
}

int CliSession::LoadLanguage() {
    const std::string path = LanguageLibraryPath(platform::ProgramFolder(), m_args.language);
    if (!m_language.Load(path)) {
        std::fprintf(m_err, "Couldn't load file with path: %s.\n", path.c_str());
        return kExitLanguage;
    }
    m_text = [this](unsigned id) { return m_language.LoadString(id); };
    return kExitDone;
}

int CliSession::ResolvePort() {
    if (m_args.port.empty() || m_args.port[0] != '/') {
        m_port = m_args.port;
        return IsPortPresent(m_port.c_str()) == 1 ? kExitDone : kExitNoSuchPort;
    }
    // A device path names its port through the map; /dev/serial/by-id links lead there too.
    const std::string wanted = SameFile(m_args.port);
    for (const SerialCommValue& value : ReadSerialCommKey()) {
        if (value.device != m_args.port && SameFile(value.device) != wanted) continue;
        if (const auto name = NormalisePortName(value.port)) {
            m_port = *name;
            return kExitDone;
        }
    }
    return kExitNoSuchPort;
}

int CliSession::WaitForPort() {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + std::chrono::seconds(m_args.waitSeconds.value_or(0));
    bool told = false;
    while (ResolvePort() != kExitDone) {
        if (Clock::now() >= deadline) {
            if (m_args.waitSeconds) {
                std::fprintf(m_err, "vexlor: %s did not appear within %d s.\n", m_args.port.c_str(), *m_args.waitSeconds);
            } else {
                std::fprintf(m_err, "vexlor: %s is not in the port list (see vexlor --cli --list-ports).\n",
                             m_args.port.c_str());
            }
            return kExitNoSuchPort;
        }
        if (!told && !m_args.quiet) {
            Print("Waiting up to " + std::to_string(*m_args.waitSeconds) + " s for " + m_args.port + " to appear...");
            told = true;
        }
        MessageQueue::Message message;
        if (m_queue.WaitFor(message, kPortLookPause) && message.message == SignalWatch::MESSAGE) {
            m_interrupted = true;
            return kExitSignal;
        }
    }
    if (m_args.waitSeconds) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        m_extraDetectionMs = left > 0 ? static_cast<int>(left) : 0;
    }
    return kExitDone;
}

int CliSession::GuardPort() {
    const std::string name = "vexlor-port-" + m_port;
    switch (m_guard.Create(name)) {
    case platform::NamedMutex::Result::Created: return kExitDone;
    case platform::NamedMutex::Result::AlreadyExists: {
        const std::string lockPath = platform::NamedMutex::LockPath(name);
        const auto holder = platform::FindHolder(lockPath);
        if (holder) {
            std::fprintf(m_err, "vexlor: %s is in use by another vexlor (%s, PID %d).\n", m_port.c_str(),
                         holder->name.c_str(), holder->pid);
        } else {
            std::fprintf(m_err, "vexlor: %s is in use by another vexlor.\n", m_port.c_str());
        }
        return kExitPortHeld;
    }
    case platform::NamedMutex::Result::Failed: break;
    }
    const int error = errno;
    std::fprintf(m_err, "vexlor: cannot create the lock file %s: %s\n", platform::NamedMutex::LockPath(name).c_str(),
                 platform::SysErrorText(error).c_str());
    return kExitLock;
}
