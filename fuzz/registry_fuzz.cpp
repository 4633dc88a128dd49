// SPDX-License-Identifier: Apache-2.0
// The settings-file reader (platform::Registry::Parse) over arbitrary text.
//
// Checks, for every machine key the text names: a value name appears once whatever its case, a
// lookup by name finds the value listed, the typed reads agree with the value's type; and the
// keys written back out in the file's own format parse to the same values again. An ASCII text
// also reads the same as UTF-16 of either byte order.
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/registry.h"

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

// Candidate key paths: what stands between "[HKEY_LOCAL_MACHINE\" and the last "]" of a line.
std::vector<std::string> KeyPathsNamed(std::string_view text) {
    constexpr std::string_view kRoot = "[HKEY_LOCAL_MACHINE\\";
    std::vector<std::string> paths;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        const size_t open = line.find('[');
        const size_t close = line.rfind(']');
        if (open != std::string_view::npos && close != std::string_view::npos && close > open &&
            SameNoCase(line.substr(open, std::min(kRoot.size(), close - open)), kRoot)) {
            paths.emplace_back(line.substr(open + kRoot.size(), close - open - kRoot.size()));
        }
        start = end + 1;
    }
    return paths;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string ValueText(const platform::RegistryValue& value) {
    if (value.type == platform::RegistryValue::Type::String) return Quoted(value.text);
    char dword[16];
    std::snprintf(dword, sizeof dword, "dword:%08x", value.dword);
    return dword;
}

bool SameValue(const platform::RegistryValue& a, const platform::RegistryValue& b) {
    if (a.type != b.type) return false;
    return a.type == platform::RegistryValue::Type::String ? a.text == b.text : a.dword == b.dword;
}

void CheckSameValues(const platform::Registry& a, const platform::Registry& b, const std::string& path) {
    const auto before = a.Values(path);
    const auto after = b.Values(path);
    FUZZ_CHECK(before.size() == after.size());
    for (size_t i = 0; i < before.size(); ++i) {
        FUZZ_CHECK(before[i].first == after[i].first);
        FUZZ_CHECK(SameValue(before[i].second, after[i].second));
    }
}

void CheckKey(const platform::Registry& registry, const std::string& path) {
    const auto values = registry.Values(path);
    for (size_t i = 0; i < values.size(); ++i) {
        const auto& [name, value] = values[i];
        for (size_t j = i + 1; j < values.size(); ++j) FUZZ_CHECK(!SameNoCase(name, values[j].first));
        const auto found = registry.Read(path, name);
        FUZZ_CHECK(found && SameValue(*found, value));
        const auto dword = registry.ReadDword(path, name);
        const auto text = registry.ReadString(path, name);
        if (value.type == platform::RegistryValue::Type::Dword) {
            FUZZ_CHECK(dword && *dword == value.dword && !text);
        } else {
            FUZZ_CHECK(text && *text == value.text && !dword);
        }
        FUZZ_CHECK(name.find('\n') == std::string::npos && name.find('\0') == std::string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const platform::Registry registry = platform::Registry::Parse(text);

    std::vector<std::string> keys;
    for (const std::string& path : KeyPathsNamed(text)) {
        if (!registry.HasKey(path)) continue;
        CheckKey(registry, path);
        keys.push_back(path);
    }

    // Written back: the same keys hold the same values.
    std::string again = "Windows Registry Editor Version 5.00\r\n";
    for (const std::string& path : keys) {
        again += "\r\n[HKEY_LOCAL_MACHINE\\" + path + "]\r\n";
        for (const auto& [name, value] : registry.Values(path)) again += Quoted(name) + "=" + ValueText(value) + "\r\n";
    }
    const platform::Registry reread = platform::Registry::Parse(again);
    for (const std::string& path : keys) CheckSameValues(registry, reread, path);

    bool ascii = true;
    for (char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii) {
        std::string little = "\xFF\xFE", big = "\xFE\xFF";
        for (char c : text) {
            little += {c, '\0'};
            big += {'\0', c};
        }
        const platform::Registry fromLittle = platform::Registry::Parse(little);
        const platform::Registry fromBig = platform::Registry::Parse(big);
        for (const std::string& path : keys) {
            CheckSameValues(registry, fromLittle, path);
            CheckSameValues(registry, fromBig, path);
        }
    }
    return 0;
}
