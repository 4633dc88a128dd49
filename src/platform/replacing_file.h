// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A file written beside its final name and put in its place only when whole: a failure never
// leaves a part of it under the final name, and the file it replaces stays as it was until then.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { Discard(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside finalPath. False with error set.
    bool Create(const std::string& finalPath, std::string& error);
    // Writes every byte; 0 or the system's error number.
    int Write(const uint8_t* data, size_t length);
    // Forces the bytes to disk, makes the file a program others may run, and puts it in the
    // final place. False with error set (the temporary file is then gone).
    bool Commit(std::string& error);
    // Removes the temporary file, if any.
    void Discard();

    const std::string& TempPath() const { return m_tempPath; }

private:
    std::string m_finalPath;
    std::string m_tempPath;
    intptr_t m_handle = -1;
};

}  // namespace platform
