// SPDX-License-Identifier: Apache-2.0
#include "platform/registry_notes.h"

namespace platform {

namespace {

constexpr std::string_view kPortMapKey = "hardware\\devicemap\\serialcomm";
constexpr size_t kShownLineMax = 60;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// "COM3", "com3" and "\\.\COM3" name one port.
std::string PortKey(std::string_view name) {
    if (name.substr(0, 4) == "\\\\.\\") name.remove_prefix(4);
    return Lower(name);
}

}  // namespace

bool IsRegistryHeaderLine(std::string_view line) {
    return line == "Windows Registry Editor Version 5.00" || line == "REGEDIT4";
}

void RegistryNotes::NotRead(int line, std::string_view text, std::string_view hint) {
    if (!m_notes) return;
    std::string shown;
    for (const char c : text.substr(0, kShownLineMax)) shown += (c >= 0 && c < 0x20) ? '?' : c;
    if (text.size() > kShownLineMax) shown += "...";
    m_notes->push_back("line " + std::to_string(line) + " is not read: " + shown + " (" + std::string(hint) + ")");
}

void RegistryNotes::EnterKey(std::string_view path) {
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    m_portMap = Lower(path) == kPortMapKey;
}

void RegistryNotes::Value(int line, const std::string& name, const RegistryValue& value) {
    if (!m_notes || !m_portMap || value.type != RegistryValue::Type::String) return;
    const auto [earlier, first] = m_ports.try_emplace(PortKey(value.text), name, line);
    if (first || earlier->second.first == name) return;
    m_notes->push_back("line " + std::to_string(line) + ": " + value.text + " is given to " + name + " as well as to " +
                       earlier->second.first + " (line " + std::to_string(earlier->second.second) +
                       "); the port list takes the first");
}

}  // namespace platform
