// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <string_view>

// Pins a terminal to a COM name in the settings file (.reg format): one "path"="COMn" line under
// [HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM]. Every other line stays as it is.

// The text with path mapped to com: entries of the same path or the same COM name in that key
// are dropped (a COM name names one device), the new entry goes after the key's last value; a
// missing key is added at the end, a missing file (empty text) gets the format's header first.
// Line endings follow the text's first line (LF or CRLF).
std::string WithSerialCommEntry(std::string_view text, const std::string& path, const std::string& com);

// The text without the entry "path"="com" (only an exact entry of both is removed).
std::string WithoutSerialCommEntry(std::string_view text, const std::string& path, const std::string& com);

// Apply the above to a file, under a lock (file + ".lock") against other simulators, writing
// through a temporary file and a rename so that a reader never sees half a file. The file keeps
// its encoding (UTF-8, or UTF-16 of either byte order, with or without a byte order mark).
// Empty string on success, else the error text.
std::string RegisterSerialPort(const std::string& file, const std::string& path, const std::string& com);
std::string UnregisterSerialPort(const std::string& file, const std::string& path, const std::string& com);
