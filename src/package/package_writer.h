// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "package/package_layout.h"
#include "platform/read_only_file.h"

// Builds the package the reader expects, streaming: nothing is held beyond one piece at a time.
// The load area's CRC uses the process-wide chunked CRC-30, so no load check may run meanwhile.

// The fields of the parameter block besides the load size.
struct PackageValues {
    std::string version;  // at most 47 characters
    uint16_t value16 = 0;
    uint32_t value32a = 0;
    uint32_t value32b = 0;
    uint32_t value32c = 0;
};

// Where the package bytes go, in order.
class PackageSink {
public:
    virtual ~PackageSink() = default;
    // False when the bytes could not all be written.
    virtual bool Write(const uint8_t* data, size_t length) = 0;
};

enum class PackResult {
    kOk,
    kImageUnreadable,  // the program file could not be read whole
    kLoadUnreadable,   // the load file ended early or could not be read
    kLoadSizeRefused,  // see CheckLoadSize
    kVersionTooLong,   // over 47 characters
    kWriteFailed,
};

// The plain parameter block: marker, version text, values, load size, and the CRC-30 of bytes
// 0..507 at 508. The version text must fit (at most 47 characters).
void EncodeParameterBlock(const PackageValues& values, uint32_t loadSize, uint8_t block[kParameterBlockSize]);
// Recomputes the CRC at 508 after bytes 0..507 were changed.
void SealParameterBlock(uint8_t block[kParameterBlockSize]);

class PackageWriter {
public:
    explicit PackageWriter(PackageSink& out) : m_out(out) {}

    // The three parts in file order: the program image followed by its integrity record, the
    // enciphered load area, the enciphered parameter block. A PE image is padded with zeros to
    // 8 bytes, and its Authenticode signature, if any, is left out (pe_signature.h).
    PackResult CopyImage(const platform::ReadOnlyFile& program);
    PackResult AppendLoadArea(const platform::ReadOnlyFile& load, uint32_t loadSize);
    PackResult AppendParameterBlock(const PackageValues& values, uint32_t loadSize);

    // True when CopyImage left out the program's signature.
    bool DroppedSignature() const { return m_droppedSignature; }

private:
    PackageSink& m_out;
    bool m_droppedSignature = false;
};

// True when file already ends with a parameter block that deciphers and checks as valid.
bool CarriesPackage(platform::ReadOnlyFile& file);
