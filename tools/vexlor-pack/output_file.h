// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <vector>

#include "package/package_writer.h"
#include "platform/replacing_file.h"

// The package's destination: a temporary file beside the final path, put in its place only when
// everything was written, so a failure never leaves a partial file under the final name. Writes
// are gathered into large pieces.
class OutputFile : public PackageSink {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(const std::string& finalPath, std::string& error);
    bool Write(const uint8_t* data, size_t length) override;
    // Flushes, makes the file executable, and renames it to the final path.
    bool Commit(std::string& error);

private:
    bool Flush();

    platform::ReplacingFile m_file;
    bool m_open = false;
    int m_writeError = 0;
    std::vector<uint8_t> m_buffer;
};
