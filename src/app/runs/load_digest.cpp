// SPDX-License-Identifier: Apache-2.0
#include "app/runs/load_digest.h"

#include <algorithm>
#include <vector>

#include "package/load_merger.h"
#include "package/package_layout.h"
#include "platform/read_only_file.h"
#include "records/sha256.h"

std::string LoadSha256(const std::string& path, uint32_t loadSize) {
    // A file of its own: the runs' readers keep their own positions in theirs.
    platform::ReadOnlyFile file;
    if (path.empty() || !file.Open(path) || CLoadMerger::SeekToLoad(file, loadSize) < 0) return std::string();
    std::vector<uint8_t> chunk(kChunkSize);
    Sha256 hash;
    for (uint64_t left = loadSize; left > 0;) {
        if (CLoadMerger::ReadLoadChunk(file, chunk.data()) < 0) return std::string();
        const size_t take = static_cast<size_t>(std::min<uint64_t>(left, kChunkSize));
        hash.Update(chunk.data(), take);  // the load's own CRC follows it in the last chunk
        left -= take;
    }
    return HexDigest(hash.Final());
}
