// SPDX-License-Identifier: Apache-2.0
#include "app/runs/port_claim.h"

#include <filesystem>

#include "app/common/port_numbers.h"
#include "platform/file_holder.h"
#include "platform/sys_error.h"
#include "platform/system_kind.h"
#include "serial/serial_port_list.h"

namespace {

std::string SameFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, error);
    return error ? path : canonical.string();
}

}  // namespace

bool PortClaim::Resolve() {
    const bool devicePath = !m_requested.empty() && m_requested[0] == '/';
    const std::string wanted = devicePath ? SameFile(m_requested) : std::string();
    for (const SerialCommValue& value : ReadSerialCommKey()) {
        const auto name = NormalisePortName(value.port);
        if (!name) continue;
        // A device path names its port through the map; /dev/serial/by-id links lead there too.
        const bool match = devicePath ? value.device == m_requested || SameFile(value.device) == wanted
                                      : PortNumberOf(name->c_str()) == PortNumberOf(m_requested.c_str());
        if (!match) continue;
        m_port = *name;
        m_device = value.device;
        return true;
    }
    return false;
}

PortClaim::Outcome PortClaim::Guard() {
    switch (m_lock.Take(m_device, m_port, platform::PortLock::Use::kRun)) {
    case platform::PortLock::Result::kTaken:
        m_outcome = Outcome::kClaimed;
        m_why.clear();
        return m_outcome;
    case platform::PortLock::Result::kHeld: {
        const auto& holder = m_lock.HeldBy();
        m_holder = holder ? holder->name + ", PID " + std::to_string(holder->pid) : std::string();
        if (!m_lock.HeldByAnotherRun()) {
            // A terminal program's lock: the run goes on and its line waits for the port.
            m_outcome = Outcome::kClaimed;
            m_why.clear();
            return m_outcome;
        }
        m_lock.Release();
        m_outcome = Outcome::kHeld;
        m_why = m_port + " is in use by another vexlor" + (holder ? " (" + m_holder + ")." : std::string("."));
        return m_outcome;
    }
    case platform::PortLock::Result::kFailed: break;
    }
    m_outcome = Outcome::kLockFailed;
    m_why = std::string(platform::kWindowsSystem ? "cannot create the port's mutex " : "cannot create the lock file ") +
            m_lock.Where() + ": " + platform::SysErrorPhrase(m_lock.Error());
    return m_outcome;
}

void PortClaim::RefuseAsTwice() {
    m_outcome = Outcome::kTwice;
    m_why = Port() + " is named twice; its second run is refused.";
}

void PortClaim::RefuseAsAbsent(std::string why) {
    m_outcome = Outcome::kAbsent;
    m_why = std::move(why);
}
