// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

// A program file carrying a package, built for the package benchmarks: an image of imageSize
// random bytes and a random load filling chunkCount chunks (load size = 4096 x chunkCount - 4).
// Streams, so building it does not raise the process's memory.
struct PackageBenchFile {
    std::string path;
    uint32_t loadSize = 0;
    int64_t imageSize = 0;
    int64_t areaStart = 0;
    uint32_t areaSize = 0;
};

PackageBenchFile BuildPackageBenchFile(const std::string& path, uint32_t chunkCount, int64_t imageSize);
