// SPDX-License-Identifier: Apache-2.0
// The package reader over an arbitrary program file: the parameter block, the load CRC check,
// the image self-check and the chunk reader of the download.
//
// The first input byte chooses how the file is made: taken as it is, or with its last 512 bytes
// replaced by a valid enciphered parameter block whose load size and version text come from the
// input (so the load checks run against every size a block can name, against files of every
// length). The program then goes through the start-up checks and reads a few load chunks.
//
// Checks: each step returns success or one of its own failure codes; a parameter block read
// back gives the fields sealed into it; progress is 0 first, never repeats a value, stays
// within 0..100 and reaches 100 only at the end of a passing load check; a chunk that cannot
// be read is handed back zeroed.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "package/dl_parameter.h"
#include "package/load_merger.h"
#include "package/package_checks.h"
#include "package/package_cipher.h"
#include "package/package_errors.h"
#include "package/package_layout.h"
#include "package/package_writer.h"
#include "platform/notify_target.h"
#include "platform/read_only_file.h"
#include "platform/window_messages.h"

namespace {

class ProgressRecorder : public platform::NotifyTarget {
public:
    void Post(uint32_t message, uintptr_t value) override {
        FUZZ_CHECK(message == WM_DL_PROGRESS);
        values.push_back(value);
    }
    std::vector<uintptr_t> values;
};

bool IsOneOf(int32_t result, std::initializer_list<int32_t> codes) {
    return std::find(codes.begin(), codes.end(), result) != codes.end();
}

void CheckProgress(const std::vector<uintptr_t>& values, int32_t result) {
    if (IsOneOf(result, {PKGERR_LOAD_SIZE, PKGERR_LOAD_FIT})) {
        FUZZ_CHECK(values.empty());  // refused before the check began
        return;
    }
    if (values.empty()) {
        FUZZ_CHECK(result == PKGERR_LOAD_READ);
        return;
    }
    FUZZ_CHECK(values.front() == 0);
    for (size_t i = 0; i < values.size(); ++i) {
        FUZZ_CHECK(values[i] <= 100);
        if (i > 0) FUZZ_CHECK(values[i] != values[i - 1]);
        if (values[i] == 100) FUZZ_CHECK(i + 1 == values.size() && result == 1);
    }
    if (result == 1) FUZZ_CHECK(values.back() == 100);
}

// A parameter block sealed and enciphered as the package builder writes it.
void SealBlock(uint8_t* block, uint32_t loadSize, const PackageValues& values) {
    EncodeParameterBlock(values, loadSize, block);
    PackageCipher cipher;
    cipher.EncipherUnit(block, kParameterBlockSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFile memory("program");
    FuzzedDataProvider input(data, size);
    const bool sealed = input.ConsumeBool();
    uint32_t sealedSize = 0;
    PackageValues sealedValues;
    if (sealed) {
        // Mostly sizes near the file's own, sometimes any 32-bit value.
        sealedSize = input.ConsumeBool() ? input.ConsumeIntegral<uint32_t>()
                                         : input.ConsumeIntegralInRange<uint32_t>(0, 3 * kChunkSize + 16);
        const std::string version = input.ConsumeRandomLengthString(kParamVersionMaxText);
        sealedValues.version = version.substr(0, version.find('\0'));
        sealedValues.value16 = input.ConsumeIntegral<uint16_t>();
        sealedValues.value32a = input.ConsumeIntegral<uint32_t>();
    }
    const uint32_t fallbackSize = input.ConsumeIntegral<uint32_t>();
    const uint8_t seed = input.ConsumeIntegral<uint8_t>();
    std::vector<uint8_t> file = input.ConsumeRemainingBytes<uint8_t>();
    if (sealed) {
        if (file.size() < kParameterBlockSize) file.resize(kParameterBlockSize, seed);
        SealBlock(file.data() + file.size() - kParameterBlockSize, sealedSize, sealedValues);
    }
    memory.Assign(file);

    platform::ReadOnlyFile program;
    FUZZ_CHECK(program.Open(memory.Path()));

    CDLParameter parameters;
    const int32_t read = parameters.ReadParameterFromFile(program);
    FUZZ_CHECK(IsOneOf(read, {1, PKGERR_PARAM_CRC, PKGERR_MARKER, PKGERR_PARAM_SHORT, PKGERR_PARAM_READ}));
    if (sealed) {
        FUZZ_CHECK(read == 1);
        FUZZ_CHECK(parameters.GetLoadSize() == sealedSize);
        FUZZ_CHECK(parameters.GetVersion() == sealedValues.version);
        FUZZ_CHECK(parameters.GetValue16() == sealedValues.value16);
        FUZZ_CHECK(parameters.GetValue32A() == sealedValues.value32a);
    }
    if (read == 1) FUZZ_CHECK(parameters.GetVersion().size() <= kParamVersionScanLimit);
    const uint32_t loadSize = read == 1 ? parameters.GetLoadSize() : fallbackSize;

    ProgressRecorder progress;
    const int32_t crc = CLoadMerger::CheckLoadFileCRC(program, loadSize, &progress);
    FUZZ_CHECK(IsOneOf(crc, {1, PKGERR_CRC, PKGERR_LOAD_SIZE, PKGERR_LOAD_FIT, PKGERR_LOAD_READ}));
    CheckProgress(progress.values, crc);

    const int32_t exe = CLoadMerger::CheckExeCRC(program, loadSize);
    FUZZ_CHECK(IsOneOf(exe, {1, PKGERR_CRC, PKGERR_LOAD_SIZE, PKGERR_LOAD_FIT, PKGERR_LOAD_READ}));
    // Size and fit are judged alike by both checks.
    if (IsOneOf(crc, {PKGERR_LOAD_SIZE, PKGERR_LOAD_FIT})) FUZZ_CHECK(exe == crc);

    const int32_t seek = CLoadMerger::SeekToLoad(program, loadSize);
    FUZZ_CHECK(IsOneOf(seek, {1, PKGERR_LOAD_SIZE, PKGERR_LOAD_FIT, PKGERR_LOAD_READ}));
    if (seek == 1) {
        const int64_t areaStart = program.Position();
        FUZZ_CHECK(areaStart >= static_cast<int64_t>(kIntegrityRecordSize));
        FUZZ_CHECK(static_cast<uint64_t>(program.Length() - areaStart) ==
                   EncipheredAreaSize(loadSize) + kParameterBlockSize);
        uint8_t chunk[kChunkSize];
        // The area's chunks, and then the parameter block, which is too short for a whole chunk.
        const uint64_t chunks = EncipheredAreaSize(loadSize) / kChunkSize;
        for (uint64_t i = 0; i <= std::min<uint64_t>(chunks, 3); ++i) {
            const bool whole = program.Length() - program.Position() >= static_cast<int64_t>(kChunkSize);
            const int32_t got = CLoadMerger::ReadLoadChunk(program, chunk);
            FUZZ_CHECK(got == (whole ? 1 : PKGERR_LOAD_READ));
            if (got != 1) FUZZ_CHECK(std::all_of(chunk, chunk + kChunkSize, [](uint8_t b) { return b == 0; }));
        }
    }

    CDLParameter again;
    int failedStep = -1;
    const int32_t all = RunPackageChecks(program, again, nullptr, &failedStep);
    FUZZ_CHECK((all == 1) == (failedStep == 0));
    if (read != 1) FUZZ_CHECK(all == read && failedStep == 1);
    return 0;
}
