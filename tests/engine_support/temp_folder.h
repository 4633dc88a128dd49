// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// A fresh folder in the system's temporary folder, removed with everything in it when the
// object goes. Paths stay short: the log's file name (prefix included) must fit in 100
// characters.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    // Path() + "/" + name.
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Reads a whole file; empty when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// Writes text to path, replacing it. False on failure.
bool WriteWholeFile(const std::string& path, const std::string& text);
