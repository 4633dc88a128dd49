// SPDX-License-Identifier: Apache-2.0
#include "platform/registry.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>
#include <unordered_map>

#include "platform/registry_notes.h"
#include "platform/settings_text.h"

namespace platform {

namespace {

constexpr std::string_view kMachineRoot = "HKEY_LOCAL_MACHINE";
char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

std::string LowerCopy(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// "SOFTWARE\Vexlor\" and "SOFTWARE\Vexlor" name the same key.
std::string_view NormalizeKeyPath(std::string_view path) {
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return path;
}

// Reads a quoted text at the start of rest (the opening quote included) with the \\ and \"
// escapes; moves rest past the closing quote. False for an unterminated text or another escape.
bool TakeQuoted(std::string_view& rest, std::string& out) {
    if (rest.empty() || rest.front() != '"') return false;
    out.clear();
    for (size_t i = 1; i < rest.size(); ++i) {
        char c = rest[i];
        if (c == '"') {
            rest.remove_prefix(i + 1);
            return true;
        }
        if (c == '\\') {
            if (i + 1 >= rest.size()) return false;
            char next = rest[i + 1];
            if (next != '\\' && next != '"') return false;
            out.push_back(next);
            ++i;
            continue;
        }
        out.push_back(c);
    }
    return false;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// "dword:" followed by exactly eight hexadecimal digits.
bool TakeDword(std::string_view text, uint32_t& out) {
    constexpr std::string_view kPrefix = "dword:";
    if (text.size() != kPrefix.size() + 8 || !EqualsNoCase(text.substr(0, kPrefix.size()), kPrefix)) return false;
    uint32_t value = 0;
    for (char c : text.substr(kPrefix.size())) {
        int digit = HexDigit(c);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    out = value;
    return true;
}

// A value line: "name"=dword:XXXXXXXX or "name"="text". False when malformed.
bool ParseValueLine(std::string_view line, std::string& name, RegistryValue& value) {
    if (!TakeQuoted(line, name)) return false;
    line = TrimBlanks(line);
    if (line.empty() || line.front() != '=') return false;
    line = TrimBlanks(line.substr(1));
    if (!line.empty() && line.front() == '"') {
        std::string text;
        if (!TakeQuoted(line, text) || !TrimBlanks(line).empty()) return false;
        value.type = RegistryValue::Type::String;
        value.dword = 0;
        value.text = std::move(text);
        return true;
    }
    uint32_t number = 0;
    if (!TakeDword(line, number)) return false;
    value.type = RegistryValue::Type::Dword;
    value.dword = number;
    value.text.clear();
    return true;
}

// A key line "[ROOT\path]". Sets machineKey and path only for HKEY_LOCAL_MACHINE keys.
// Deleting lines ("[-...]") and other roots give no key.
void ParseKeyLine(std::string_view line, bool& machineKey, std::string_view& path) {
    machineKey = false;
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return;
    std::string_view inner = line.substr(1, line.size() - 2);
    std::string_view root = inner.substr(0, inner.find('\\'));
    if (!EqualsNoCase(root, kMachineRoot)) return;
    path = root.size() < inner.size() ? inner.substr(root.size() + 1) : std::string_view();
    path = NormalizeKeyPath(path);
    machineKey = true;
}

// Settings files are a few lines; anything larger than this is not one and is refused whole.
constexpr int64_t kMaxSettingsFileBytes = int64_t{16} * 1024 * 1024;

// True when path names something, or may: only "no such file" and "not a folder" say for sure
// that it does not.
bool MayExist(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    (void)std::filesystem::status(path, error);
    return !error || (error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory);
}

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

}  // namespace

std::string Registry::SettingsPath() {
    // An explicit VEXLOR_REGISTRY is the only place looked at, even when the file is missing:
    // that is how a test (or a user) says "no settings at all".
    if (const char* chosen = std::getenv("VEXLOR_REGISTRY"); chosen && *chosen) {
        return MayExist(chosen) ? std::string(chosen) : std::string();
    }
#ifdef _WIN32
    return {};  // Windows keeps its settings in the machine's own registry
#endif
    std::string configHome = Env("XDG_CONFIG_HOME");
    if (configHome.empty() || configHome.front() != '/') {
        std::string home = Env("HOME");
        configHome = home.empty() ? std::string() : home + "/.config";
    }
    if (!configHome.empty()) {
        std::string user = configHome + "/vexlor/registry.reg";
        if (MayExist(user)) return user;
    }
    std::string system = "/etc/vexlor/registry.reg";
    return MayExist(system) ? system : std::string();
}

namespace {

// Reads a whole settings file into text: 0, or why not, as LoadFile describes.
int ReadSettingsBytes(const std::string& path, std::string& text) {
    // Looked at before it is opened: a FIFO put in the file's place must not hang the open.
    std::error_code statusError;
    const std::filesystem::file_status status = std::filesystem::status(path, statusError);
    if (statusError) return statusError.value();
    if (std::filesystem::is_directory(status)) return EISDIR;
    if (!std::filesystem::is_regular_file(status)) return EINVAL;
    errno = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return errno ? errno : EACCES;
    char buffer[64 * 1024];
    size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (static_cast<int64_t>(text.size() + got) > kMaxSettingsFileBytes) return EFBIG;
        text.append(buffer, got);
    }
    if (std::ferror(file.get())) return errno ? errno : EIO;
    return 0;
}

}  // namespace

Registry Registry::LoadFile(const std::string& path) { return LoadFile(path, nullptr); }

Registry Registry::LoadFile(const std::string& path, int* error) {
    int ignored = 0;
    int& failure = error ? *error : ignored;
    std::string text;
    failure = ReadSettingsBytes(path, text);
    return failure == 0 ? Parse(text) : Registry();
}

Registry::SettingsCheck Registry::CheckSettingsFile() {
    SettingsCheck check;
    check.path = SettingsPath();
    if (check.path.empty()) return check;
    std::string text;
    check.error = ReadSettingsBytes(check.path, text);
    if (check.error != 0) return check;
    check.notSettings = WhyNotSettingsText(text);
    if (check.notSettings.empty()) Parse(text, &check.problems);
    return check;
}

Registry Registry::Parse(std::string_view text) { return Parse(text, nullptr); }

Registry Registry::Parse(std::string_view bytes, std::vector<std::string>* problems) {
    Registry registry;
    const std::string decoded = SettingsTextToUtf8(bytes, DetectSettingsEncoding(bytes));
    std::string_view text = decoded;
    RegistryNotes notes(problems);

    // Indexes by lower-case key path and by value name keep large files linear.
    std::unordered_map<std::string, size_t> keyIndex;
    std::vector<std::unordered_map<std::string, size_t>> valueIndex;
    Key* current = nullptr;
    std::unordered_map<std::string, size_t>* currentValues = nullptr;
    std::string name;
    RegistryValue value;

    for (int number = 1; !text.empty(); ++number) {
        size_t end = text.find('\n');
        std::string_view line = TrimBlanks(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        // NUL bytes have no place in a text file and would cut names short later.
        if (line.find('\0') != std::string_view::npos) {
            notes.NotRead(number, line, "it holds a NUL byte");
            continue;
        }
        if (line.empty() || line.front() == ';' || IsRegistryHeaderLine(line)) continue;

        if (line.front() == '[') {
            bool machineKey = false;
            std::string_view path;
            ParseKeyLine(line, machineKey, path);
            current = nullptr;
            currentValues = nullptr;
            if (line.back() != ']') notes.NotRead(number, line, "a key line is [HKEY_LOCAL_MACHINE\\...]");
            if (!machineKey) continue;  // values under other roots or bad key lines are ignored
            auto [it, inserted] = keyIndex.try_emplace(LowerCopy(path), registry.m_keys.size());
            if (inserted) {
                registry.m_keys.push_back(Key{std::string(path), {}});
                valueIndex.emplace_back();
            }
            current = &registry.m_keys[it->second];
            currentValues = &valueIndex[it->second];
            notes.EnterKey(path);
            continue;
        }

        if (line.front() != '"' || !ParseValueLine(line, name, value)) {
            notes.NotRead(number, line, "a value is \"name\"=dword:XXXXXXXX or \"name\"=\"text\"");
            continue;
        }
        if (!current) continue;
        notes.Value(number, name, value);
        auto [it, inserted] = currentValues->try_emplace(LowerCopy(name), current->values.size());
        if (inserted) {
            current->values.emplace_back(name, value);
        } else {
            current->values[it->second].second = value;
        }
    }
    return registry;
}

void Registry::AddKey(std::string_view keyPath) {
    keyPath = NormalizeKeyPath(keyPath);
    if (!FindKey(keyPath)) m_keys.push_back(Key{std::string(keyPath), {}});
}

void Registry::Add(std::string_view keyPath, const std::string& valueName, const RegistryValue& value) {
    AddKey(keyPath);
    Key* key = const_cast<Key*>(FindKey(keyPath));
    for (auto& [name, existing] : key->values) {
        if (EqualsNoCase(name, valueName)) {
            existing = value;
            return;
        }
    }
    key->values.emplace_back(valueName, value);
}

const Registry::Key* Registry::FindKey(std::string_view keyPath) const {
    keyPath = NormalizeKeyPath(keyPath);
    for (const Key& key : m_keys) {
        if (EqualsNoCase(key.path, keyPath)) return &key;
    }
    return nullptr;
}

bool Registry::HasKey(std::string_view keyPath) const { return FindKey(keyPath) != nullptr; }

std::optional<RegistryValue> Registry::Read(std::string_view keyPath, std::string_view valueName) const {
    const Key* key = FindKey(keyPath);
    if (!key) return std::nullopt;
    for (const auto& [name, value] : key->values) {
        if (EqualsNoCase(name, valueName)) return value;
    }
    return std::nullopt;
}

std::optional<uint32_t> Registry::ReadDword(std::string_view keyPath, std::string_view valueName) const {
    auto value = Read(keyPath, valueName);
    if (!value || value->type != RegistryValue::Type::Dword) return std::nullopt;
    return value->dword;
}

std::optional<std::string> Registry::ReadString(std::string_view keyPath, std::string_view valueName) const {
    auto value = Read(keyPath, valueName);
    if (!value || value->type != RegistryValue::Type::String) return std::nullopt;
    return value->text;
}

std::vector<std::pair<std::string, RegistryValue>> Registry::Values(std::string_view keyPath) const {
    const Key* key = FindKey(keyPath);
    return key ? key->values : std::vector<std::pair<std::string, RegistryValue>>();
}

}  // namespace platform
