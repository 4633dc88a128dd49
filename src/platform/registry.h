// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// One value of a settings key: a 32-bit number (dword:XXXXXXXX) or a text.
struct RegistryValue {
    enum class Type { Dword, String };
    Type type = Type::String;
    uint32_t dword = 0;
    std::string text;
};

// The read-only settings file that stands in for the machine-wide registry: a subset of the
// Windows .reg export format. Only HKEY_LOCAL_MACHINE keys are kept; key paths are given
// without that root ("SOFTWARE\\Vexlor") and compare without regard to case, as do value names.
class Registry {
public:
    // The settings file in use: $VEXLOR_REGISTRY if set, else $XDG_CONFIG_HOME/vexlor/registry.reg
    // (default ~/.config/vexlor/registry.reg), else /etc/vexlor/registry.reg; the first that
    // exists. Empty when none does. A non-empty $VEXLOR_REGISTRY is the only place looked at:
    // when that file is missing the result is empty (no settings), so tests can point it at an
    // absent file. A relative $XDG_CONFIG_HOME is ignored, as the XDG rules say. A place that
    // cannot even be looked at (stat fails other than with ENOENT or ENOTDIR, e.g. EACCES) ends
    // the search there: the file may well exist, and another one must not silently stand in.
    static std::string SettingsPath();
    // The settings in use: on Linux the settings file (none gives an empty registry, every key
    // missing); on Windows the machine's own registry, its keys SOFTWARE\Vexlor and
    // HARDWARE\DEVICEMAP\SERIALCOMM.
    static Registry Load();
    // Reads one file; an unreadable file gives an empty registry, and so does anything that is
    // not a regular file or is larger than 16 MiB (no settings file is that large).
    static Registry LoadFile(const std::string& path);
    // The same, and *error (when not null) says why nothing was read: 0 when the file was read,
    // the errno of the failed open or read, EISDIR for a folder, EINVAL for anything else that is
    // not a regular file, EFBIG for a file over the size limit.
    static Registry LoadFile(const std::string& path, int* error);

    // Which settings file is in use and whether it can be read, for a start-up check that tells
    // the user rather than running without the settings they wrote.
    struct SettingsCheck {
        std::string path;  // SettingsPath(): empty when no settings file exists
        int error = 0;     // as LoadFile's; 0 when read, and when there is no file at all
        // Why the file read is no settings file at all (random bytes, a program); "" when it is one.
        std::string notSettings;
        // "line N ..." for each line that is not read and each port name given twice.
        std::vector<std::string> problems;
    };
    // Reads the file in use once (as Load does) and reports the outcome; SysErrorText(error)
    // gives the words for a message.
    static SettingsCheck CheckSettingsFile();

    // Parses .reg text (LF or CRLF; UTF-8 with an optional byte order mark, or UTF-16 of either
    // byte order with its mark, as regedit exports, or without it; see settings_text.h).
    // Malformed lines are skipped; a malformed or non-machine key line ends the current key, so
    // the values below it are ignored. Lines holding NUL bytes (or NUL units) are skipped; an
    // unpaired surrogate reads as U+FFFD and a last odd byte is dropped. Any input is safe and
    // parsed in linear time.
    static Registry Parse(std::string_view text);
    // The same, and problems (when not null) receives a "line N ..." note for every line that is
    // not read and for every port name the port map gives to a second device.
    static Registry Parse(std::string_view text, std::vector<std::string>* problems);

    // Sets a value of a machine key (creating the key): how a snapshot of the system's own
    // registry is built where there is one.
    void Add(std::string_view keyPath, const std::string& valueName, const RegistryValue& value);
    // Makes a machine key known even while it holds no value, as a key line alone does.
    void AddKey(std::string_view keyPath);

    bool HasKey(std::string_view keyPath) const;
    std::optional<RegistryValue> Read(std::string_view keyPath, std::string_view valueName) const;
    std::optional<uint32_t> ReadDword(std::string_view keyPath, std::string_view valueName) const;
    std::optional<std::string> ReadString(std::string_view keyPath, std::string_view valueName) const;
    // The key's values in file order (a later line for the same name replaces the earlier value
    // in place). Empty when the key is missing.
    std::vector<std::pair<std::string, RegistryValue>> Values(std::string_view keyPath) const;

private:
    struct Key {
        std::string path;
        std::vector<std::pair<std::string, RegistryValue>> values;
    };
    const Key* FindKey(std::string_view keyPath) const;
    std::vector<Key> m_keys;
};

}  // namespace platform
