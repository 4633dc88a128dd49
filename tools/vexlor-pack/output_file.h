// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <atomic>
#include <string>
#include <vector>

#include "package/package_writer.h"
#include "platform/replacing_file.h"

// The package's destination: a temporary file beside the final path, put in its place only when
// everything was written, so a failure never leaves a partial file under the final name. Writes
// are gathered into large pieces. A stop (stop turning true) makes the next write fail.
class OutputFile : public PackageSink {
public:
    explicit OutputFile(const std::atomic<bool>* stop = nullptr) : m_stop(stop) {}
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(const std::string& finalPath, std::string& error);
    bool Write(const uint8_t* data, size_t length) override;
    // Flushes, makes the file executable, and renames it to the final path.
    bool Commit(std::string& error);
    // True once a write was refused because of a stop.
    bool Stopped() const { return m_stopped; }
    // A write that failed (a full disk, a file size limit): "cannot write OUT: <the system's
    // words>"; empty when none did.
    std::string WriteProblem() const;

private:
    bool Flush();

    const std::atomic<bool>* m_stop;
    bool m_stopped = false;
    std::string m_finalPath;
    platform::ReplacingFile m_file;
    bool m_open = false;
    int m_writeError = 0;
    std::vector<uint8_t> m_buffer;
};
