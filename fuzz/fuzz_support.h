// SPDX-License-Identifier: Apache-2.0
#pragma once
// Helpers shared by the fuzz targets: a hard check that stops the run with a message (the fuzzer
// then keeps the input), and files that live in memory so that readers which take a path can be
// fed without touching the disk.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <string>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

namespace fuzz {

// A regular file in memory (memfd) reachable through /proc/self/fd/N.
class MemoryFile {
public:
    explicit MemoryFile(const char* name = "fuzz-input") : m_fd(memfd_create(name, MFD_CLOEXEC)) {
        FUZZ_CHECK(m_fd >= 0);
    }
    ~MemoryFile() { close(m_fd); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    // Replaces the whole content.
    void Assign(std::span<const uint8_t> bytes) {
        FUZZ_CHECK(ftruncate(m_fd, 0) == 0);
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = pwrite(m_fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
            FUZZ_CHECK(n > 0);
            done += static_cast<size_t>(n);
        }
    }
    std::string Path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
    int m_fd;
};

// A folder of the process's own under /dev/shm (or /tmp), removed with what is left in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/vexlor-fuzz-XXXXXX";
        FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
        m_path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

}  // namespace fuzz
