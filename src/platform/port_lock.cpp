// SPDX-License-Identifier: Apache-2.0
#include "platform/port_lock.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/machine_port_lock.h"

namespace platform {

namespace {

// The uses of one port inside this process, and the machine's lock while it is taken.
struct PortUses {
    int runs = 0;
    int lines = 0;
    MachinePortLock lock;
};

struct Registry {
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<PortUses>> ports;
};

Registry& TheRegistry() {
    static Registry* registry = new Registry;  // never destroyed: locks may go at exit in any order
    return *registry;
}

}  // namespace

PortLock::~PortLock() { Release(); }

std::string PortLock::LockName(const std::string& device, const std::string& port) {
    return MachinePortLock::NameOf(MachinePortLock::KeyOf(device, port));
}

bool PortLock::HeldByAnotherRun() const { return m_heldByRun; }

PortLock::Result PortLock::Take(const std::string& device, const std::string& port, Use use) {
    Release();
    m_holder.reset();
    m_error = 0;
    m_heldByRun = false;
    const std::string key = MachinePortLock::KeyOf(device, port);
    m_where = MachinePortLock::NameOf(key);
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    std::unique_ptr<PortUses>& uses = registry.ports[key];
    if (!uses) uses = std::make_unique<PortUses>();
    if (use == Use::kRun && uses->runs > 0) {
        // Another run of this process has the port: a run is one to a port, wherever it runs.
        m_heldByRun = true;
        return Result::kHeld;
    }
    Result result = Result::kTaken;
    if (!uses->lock.Taken()) {
        switch (uses->lock.TryTake(key, m_holder, m_heldByRun, m_error)) {
        case MachinePortLock::Result::kTaken: break;
        case MachinePortLock::Result::kHeld: result = Result::kHeld; break;
        case MachinePortLock::Result::kFailed: result = Result::kFailed; break;
        }
    }
    if (result == Result::kTaken || (use == Use::kRun && result == Result::kHeld)) {
        (use == Use::kRun ? uses->runs : uses->lines) += 1;
        m_key = key;
        m_use = use;
    } else if (uses->runs == 0 && uses->lines == 0) {
        registry.ports.erase(key);
    }
    return result;
}

void PortLock::Release() {
    if (m_key.empty()) return;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const auto found = registry.ports.find(m_key);
    m_key.clear();
    if (found == registry.ports.end()) return;
    PortUses& uses = *found->second;
    (m_use == Use::kRun ? uses.runs : uses.lines) -= 1;
    if (uses.runs <= 0 && uses.lines <= 0) registry.ports.erase(found);  // the lock goes with it
}

bool PortLock::Taken() const {
    if (m_key.empty()) return false;
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.mutex);
    const auto found = registry.ports.find(m_key);
    return found != registry.ports.end() && found->second->lock.Taken();
}

}  // namespace platform
