// SPDX-License-Identifier: Apache-2.0
#include <cstdlib>
#include <vector>

#include "platform/registry.h"
#include "platform/win32/registry_snapshot.h"
#include "platform/win32/wide_text.h"

namespace platform {

namespace {

// Value names are at most 16383 characters; data is capped far below the registry's own limit,
// as no setting of ours is that long.
constexpr DWORD kMaxNameChars = 16384;
constexpr DWORD kMaxDataBytes = 64 * 1024;

// A REG_SZ's bytes as text: up to its first NUL, with or without one at the end.
std::string StringData(const std::vector<BYTE>& data, DWORD size) {
    std::wstring_view text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    const size_t end = text.find(L'\0');
    if (end != std::wstring_view::npos) text = text.substr(0, end);
    return win32::Narrow(text);
}

// Adds every REG_DWORD and REG_SZ value of key to registry under keyPath; other types are not
// settings of ours and are left out, as the settings file's grammar leaves them out.
void AddValues(HKEY key, const char* keyPath, Registry& registry) {
    std::vector<wchar_t> name(kMaxNameChars);
    std::vector<BYTE> data(kMaxDataBytes + sizeof(wchar_t));
    for (DWORD index = 0; index < 100000; ++index) {
        DWORD nameChars = kMaxNameChars;
        DWORD type = 0;
        DWORD size = kMaxDataBytes;
        const LONG status = RegEnumValueW(key, index, name.data(), &nameChars, nullptr, &type, data.data(), &size);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) continue;  // too large for a setting (ERROR_MORE_DATA): skipped
        const std::string valueName = win32::Narrow(std::wstring_view(name.data(), nameChars));
        RegistryValue value;
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            value.type = RegistryValue::Type::Dword;
            value.dword = static_cast<uint32_t>(data[0]) | static_cast<uint32_t>(data[1]) << 8 |
                          static_cast<uint32_t>(data[2]) << 16 | static_cast<uint32_t>(data[3]) << 24;
        } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
            value.type = RegistryValue::Type::String;
            value.text = StringData(data, size);
        } else {
            continue;
        }
        registry.Add(keyPath, valueName, value);
    }
}

}  // namespace

namespace win32 {

void AddRegistryKeys(HKEY root, std::initializer_list<const char*> keyPaths, Registry& registry) {
    for (const char* keyPath : keyPaths) {
        HKEY key = nullptr;
        const std::wstring wide = Widen(keyPath);
        if (RegOpenKeyExW(root, wide.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) continue;
        registry.AddKey(keyPath);
        AddValues(key, keyPath, registry);
        RegCloseKey(key);
    }
}

}  // namespace win32

// Windows has a registry: a snapshot of the machine's own keys that the tool reads, its settings
// and the system's port map. A settings file named by $VEXLOR_REGISTRY stands in for it, so that
// tests running side by side need not share the machine's keys.
Registry Registry::Load() {
    if (const char* chosen = std::getenv("VEXLOR_REGISTRY"); chosen && *chosen) {
        const std::string file = SettingsPath();  // empty when the file named is missing: no settings
        return file.empty() ? Registry() : LoadFile(file);
    }
    Registry registry;
    win32::AddRegistryKeys(HKEY_LOCAL_MACHINE, {"SOFTWARE\\Vexlor", "HARDWARE\\DEVICEMAP\\SERIALCOMM"}, registry);
    return registry;
}

}  // namespace platform
