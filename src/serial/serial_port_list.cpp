// SPDX-License-Identifier: Apache-2.0
#include "serial/serial_port_list.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <tuple>

#include "platform/registry.h"
#include "platform/serial_devices.h"

namespace {

constexpr const char* kSerialCommKey = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr int32_t kFallbackFirstPort = 101;
constexpr int32_t kRuledIndexLimit = 20;

struct KindRule {
    const char* kind;
    int32_t firstPort;
};
constexpr KindRule kKindRules[] = {
    {"ttyS", 1}, {"ttyUSB", 21}, {"ttyACM", 41}, {"rfcomm", 61}, {"ircomm", 81},
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// "ttyUSB12" -> ("ttyUSB", 12); no trailing digits -> index -1.
std::pair<std::string, int32_t> SplitKindIndex(const std::string& name) {
    size_t end = name.size();
    size_t start = end;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1]))) --start;
    if (start == end || end - start > 6) return {name, -1};
    return {name.substr(0, start), std::atoi(name.c_str() + start)};
}

int32_t RuledPortOf(const std::string& kind, int32_t index) {
    if (index < 0 || index >= kRuledIndexLimit) return -1;
    for (const KindRule& rule : kKindRules) {
        if (kind == rule.kind) return rule.firstPort + index;
    }
    return -1;
}

std::string PortName(int32_t number) { return "COM" + std::to_string(number); }

std::string TtyClassDir(const SerialCommSources& sources) {
    if (!sources.ttyClassDir.empty()) return sources.ttyClassDir;
    const char* root = std::getenv("VEXLOR_SYSFS_ROOT");
    if (root && *root) return root;
    return "/sys/class/tty";
}

std::vector<SerialCommValue> ReadFileEntries(const SerialCommSources& sources) {
    std::vector<SerialCommValue> entries;
    // The settings in use (on Windows the machine's own registry), unless a file is named.
    const platform::Registry registry =
        sources.settingsFile.empty() ? platform::Registry::Load() : platform::Registry::LoadFile(sources.settingsFile);
    for (const auto& [name, value] : registry.Values(kSerialCommKey)) {
        if (value.type != platform::RegistryValue::Type::String || name.empty() || value.text.empty()) continue;
        entries.push_back({name, value.text});
    }
    return entries;
}

// Reads an optionally signed decimal after optional blanks, saturating at the int32 range.
int32_t ReadDecimal(const char* text) {
    while (*text && std::isspace(static_cast<unsigned char>(*text))) ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    long long value = 0;
    while (std::isdigit(static_cast<unsigned char>(*text))) {
        value = std::min<long long>(value * 10 + (*text++ - '0'), static_cast<long long>(INT32_MAX) + 1);
    }
    if (negative) value = -value;
    return static_cast<int32_t>(std::clamp<long long>(value, INT32_MIN, INT32_MAX));
}

}  // namespace

std::vector<SerialCommValue> SynthesiseSerialCommKey(const std::vector<SerialCommValue>& fileEntries,
                                                     const std::vector<std::string>& ttyNames,
                                                     const std::string& devDir) {
    std::vector<SerialCommValue> key;
    std::set<int32_t> taken;
    std::set<std::string> fileDevices;
    for (const SerialCommValue& entry : fileEntries) {
        int32_t number = PortNumberOf(entry.port.c_str());
        fileDevices.insert(entry.device);
        // A name given to a second device stays with the first (the settings reader warns so).
        if (number >= 0 && !taken.insert(number).second) continue;
        key.push_back(entry);
    }

    struct Device {
        std::string kind;
        int32_t index;
        std::string name;
        int32_t port;
    };
    std::vector<Device> devices;
    for (const std::string& name : ttyNames) {
        if (fileDevices.count(devDir + "/" + name)) continue;
        auto [kind, index] = SplitKindIndex(name);
        devices.push_back({kind, index, name, -1});
    }
    std::sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) {
        return std::tie(a.kind, a.index, a.name) < std::tie(b.kind, b.index, b.name);
    });
    devices.erase(
        std::unique(devices.begin(), devices.end(), [](const Device& a, const Device& b) { return a.name == b.name; }),
        devices.end());
    for (Device& device : devices) {
        int32_t ruled = RuledPortOf(device.kind, device.index);
        if (ruled > 0 && taken.insert(ruled).second) device.port = ruled;
    }
    int32_t next = kFallbackFirstPort;
    for (Device& device : devices) {
        if (device.port > 0) continue;
        while (taken.count(next)) ++next;
        device.port = next;
        taken.insert(next);
    }
    std::sort(devices.begin(), devices.end(), [](const Device& a, const Device& b) { return a.port < b.port; });
    for (const Device& device : devices) key.push_back({devDir + "/" + device.name, PortName(device.port)});
    return key;
}

std::vector<SerialCommValue> ReadSerialCommKey(const SerialCommSources& sources) {
    std::string devDir = sources.devDir.empty() ? "/dev" : sources.devDir;
    return SynthesiseSerialCommKey(ReadFileEntries(sources), platform::ListSerialDevices(TtyClassDir(sources)), devDir);
}

bool IsExcludedSerialDevice(const std::string& valueName) {
    std::string name = Lower(valueName);
    if (name.find("\\device\\bt") != std::string::npos || name.find("\\device\\bluetooth") != std::string::npos ||
        name.find("\\device\\ir") != std::string::npos) {
        return true;
    }
    size_t slash = name.find_last_of('/');
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    return base.rfind("rfcomm", 0) == 0 || base.rfind("ircomm", 0) == 0;
}

const char* CSerialCommList::ReadSerialCommList() { return ReadSerialCommList(SerialCommSources{}); }

const char* CSerialCommList::ReadSerialCommList(const SerialCommSources& sources) {
    m_text.clear();
    for (const SerialCommValue& value : ReadSerialCommKey(sources)) {
        if (IsExcludedSerialDevice(value.device)) continue;
        if (!m_text.empty()) m_text += ";";
        m_text += value.port;
    }
    return m_text.c_str();
}

int32_t PortNumberOf(const char* name) {
    if (!name) return -1;
    for (const char* p = name; *p; ++p) {
        if (*p == 'M' || *p == 'm') return ReadDecimal(p + 1);
    }
    return -1;
}

int32_t IsPortPresent(const char* device, const SerialCommSources& sources) {
    return DevicePathOf(device, sources).empty() ? 0 : 1;
}

std::string DevicePathOf(const char* device, const SerialCommSources& sources) {
    int32_t number = PortNumberOf(device);
    if (number < 0) return {};
    for (const SerialCommValue& value : ReadSerialCommKey(sources)) {
        if (PortNumberOf(value.port.c_str()) == number) return platform::SerialOpenPath(value.device, value.port);
    }
    return {};
}

std::vector<uint32_t> EnumerateSerialPorts(const SerialCommSources& sources) {
    CSerialCommList list;
    std::string text = list.ReadSerialCommList(sources);
    std::vector<uint32_t> ports;
    size_t start = 0;
    while (!text.empty() && start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string name = text.substr(start, end - start);
        size_t m = name.find_last_of('M');
        ports.push_back(
            static_cast<uint32_t>(ReadDecimal(m == std::string::npos ? name.c_str() : name.c_str() + m + 1)));
        start = end + 1;
    }
    std::sort(ports.begin(), ports.end());
    return ports;
}
