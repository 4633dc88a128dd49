// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "package/package_writer.h"
#include "platform/notify_target.h"

// Helpers shared by the package tests: temporary files, program files carrying a package, and a
// notification target that records what it was sent.
namespace pkgtest {

using Bytes = std::vector<uint8_t>;

// A fresh directory, removed with its files at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

Bytes RandomBytes(size_t count, uint32_t seed);
void WriteFile(const std::string& path, const Bytes& bytes);
Bytes ReadFile(const std::string& path);
// XORs mask into the byte at offset of the file.
void FlipByte(const std::string& path, int64_t offset, uint8_t mask = 0x01);
int64_t FileLength(const std::string& path);

// Writes a program file: image, then a package built by PackageWriter from load.
void WriteProgramFile(const std::string& path, const Bytes& image, const Bytes& load, const PackageValues& values,
                      const std::string& scratchDir);

// Replaces the parameter block at the end of path with plain (512 bytes), enciphered.
void ReplaceParameterBlock(const std::string& path, const uint8_t* plain);

// The deciphered parameter block at the end of path.
Bytes DecipherParameterBlock(const std::string& path);

// Records every posted message, from any thread.
class RecordingTarget : public platform::NotifyTarget {
public:
    struct Message {
        uint32_t message;
        uintptr_t wParam;
    };
    void Post(uint32_t message, uintptr_t wParam) override;
    std::vector<Message> Messages() const;
    std::vector<uintptr_t> Progress() const;  // the WM_DL_PROGRESS values, in order

private:
    mutable std::mutex m_mutex;
    std::vector<Message> m_messages;
};

// Opens the diagnostic log at level 5 into a temporary folder; CloseAndRead() closes it (so
// every line is on disk) and returns what was written.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::string CloseAndRead();

private:
    TempDir m_dir;
    std::string m_prefix;
};

}  // namespace pkgtest
