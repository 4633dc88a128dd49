#pragma once
#include <string>
#include <vector>

#include "package/package_writer.h"

// The package's destination: a temporary file beside the final path, renamed over it only when
// everything was written, so a failure never leaves a partial file under the final name.
class OutputFile : public PackageSink {
public:
    OutputFile() = default;
    ~OutputFile() override;  // removes the temporary file unless committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool Create(const std::string& finalPath, std::string& error);
    bool Write(const uint8_t* data, size_t length) override;
    // Flushes, makes the file executable, and renames it to the final path.
    bool Commit(std::string& error);

private:
    bool Flush();
    void Discard();

    std::string m_finalPath;
    std::string m_tempPath;
    int m_fd = -1;
    int m_writeError = 0;
    std::vector<uint8_t> m_buffer;
};
