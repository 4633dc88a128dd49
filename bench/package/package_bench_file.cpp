// SPDX-License-Identifier: Apache-2.0
#include "package_bench_file.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <vector>

#include "package/package_layout.h"
#include "package/package_writer.h"
#include "platform/read_only_file.h"

namespace {

class StdioSink : public PackageSink {
public:
    explicit StdioSink(std::FILE* file) : m_file(file) {}
    bool Write(const uint8_t* data, size_t length) override { return std::fwrite(data, 1, length, m_file) == length; }

private:
    std::FILE* m_file;
};

void WriteRandomFile(const std::string& path, int64_t size, uint32_t seed) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("cannot write " + path);
    std::mt19937 rng(seed);
    std::vector<uint8_t> piece(1 << 16);
    for (int64_t done = 0; done < size;) {
        const size_t n = static_cast<size_t>(std::min<int64_t>(size - done, static_cast<int64_t>(piece.size())));
        for (size_t i = 0; i < n; ++i) piece[i] = static_cast<uint8_t>(rng());
        std::fwrite(piece.data(), 1, n, file);
        done += static_cast<int64_t>(n);
    }
    std::fclose(file);
}

}  // namespace

PackageBenchFile BuildPackageBenchFile(const std::string& path, uint32_t chunkCount, int64_t imageSize) {
    PackageBenchFile made;
    made.path = path;
    made.loadSize = chunkCount * kChunkSize - kLoadCrcSize;
    made.imageSize = imageSize;
    made.areaStart = imageSize + kIntegrityRecordSize;
    made.areaSize = chunkCount * kChunkSize;

    const std::string imagePath = path + ".image";
    const std::string loadPath = path + ".load";
    WriteRandomFile(imagePath, imageSize, 1);
    WriteRandomFile(loadPath, made.loadSize, 2);
    platform::ReadOnlyFile image, load;
    if (!image.Open(imagePath) || !load.Open(loadPath)) throw std::runtime_error("cannot read the parts");
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) throw std::runtime_error("cannot write " + path);
    StdioSink sink(out);
    PackageWriter writer(sink);
    PackageValues values;
    values.version = "BENCH";
    const bool ok = writer.CopyImage(image) == PackResult::kOk &&
                    writer.AppendLoadArea(load, made.loadSize) == PackResult::kOk &&
                    writer.AppendParameterBlock(values, made.loadSize) == PackResult::kOk;
    std::fclose(out);
    std::remove(imagePath.c_str());
    std::remove(loadPath.c_str());
    if (!ok) throw std::runtime_error("cannot build " + path);
    return made;
}
