// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry.h"

namespace platform {

// What the settings reader notes for the user while it parses, each note with its line number:
// lines it does not read, and a port name the port map gives to two devices. Notes nothing when
// nobody asked (a null list).
class RegistryNotes {
public:
    explicit RegistryNotes(std::vector<std::string>* notes) : m_notes(notes) {}

    // A line that is not read; hint says what such a line looks like.
    void NotRead(int line, std::string_view text, std::string_view hint);
    // A machine key line: the values after it belong to path.
    void EnterKey(std::string_view path);
    // A value of the current machine key.
    void Value(int line, const std::string& name, const RegistryValue& value);

private:
    std::vector<std::string>* m_notes;
    bool m_portMap = false;
    std::map<std::string, std::pair<std::string, int>> m_ports;  // port name -> device, line
};

// The first lines of a .reg export, which name its format.
bool IsRegistryHeaderLine(std::string_view line);

}  // namespace platform
