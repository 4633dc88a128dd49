// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The port numbers of a port list text such as "COM10;COM1;COM3": for each name, the text after
// its last upper-case 'M' (the whole name without one) read as a decimal integer (leading blanks
// and a sign allowed, 0 without digits), sorted in ascending unsigned order. Null or "" gives
// no port; empty names between separators are skipped.
std::vector<uint32_t> ParsePortNumbers(const char* listText);

// One name's number by the same rule: "COM3" -> 3, "7" -> 7, "COMx" -> 0, "com4" -> 0.
uint32_t PortNumberFromName(const char* name, const char* end);

// "COMn" for a port name the tool accepts (COM1 to COM999, any letter case, an optional leading
// "\\.\"); nothing for any other text. Every name --port takes and --list-ports shows passes here.
std::optional<std::string> NormalisePortName(std::string text);
