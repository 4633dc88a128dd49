// SPDX-License-Identifier: Apache-2.0
#include "package/package_writer.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "link/crc.h"
#include "package/dl_parameter.h"
#include "package/image_digest.h"
#include "package/package_cipher.h"
#include "package/package_key.h"
#include "package/pe_signature.h"

namespace {

constexpr size_t kImagePiece = size_t{256} * 1024;

}  // namespace

void SealParameterBlock(uint8_t block[kParameterBlockSize]) {
    WriteLe32(block + kParamCrcOffset, Crc30Calc(block, kParamCrcOffset * 8));
}

void EncodeParameterBlock(const PackageValues& values, uint32_t loadSize, uint8_t block[kParameterBlockSize]) {
    std::memset(block, 0, kParameterBlockSize);
    {
        PackageKey key;
        FormPackageMarker(key, block + kParamMarkerOffset);
    }
    // The block was zeroed: the text field stays NUL-terminated (its last byte is never written).
    const size_t textLength = std::min(values.version.size(), kParamVersionMaxText);
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    std::memcpy(block + kParamVersionOffset, values.version.data(), textLength);
    WriteLe16(block + kParamValue16Offset, values.value16);
    WriteLe32(block + kParamLoadSizeOffset, loadSize);
    WriteLe32(block + kParamValue32aOffset, values.value32a);
    WriteLe32(block + kParamValue32bOffset, values.value32b);
    WriteLe32(block + kParamValue32cOffset, values.value32c);
    SealParameterBlock(block);
}

PackResult PackageWriter::CopyImage(const platform::ReadOnlyFile& program) {
    const int64_t length = program.Length();
    if (length < 0) return PackResult::kImageUnreadable;
    const auto signing = FindPeSignatureFields(program);
    // A signature cannot survive packing: it is left out (table and directory entry), so a signer
    // finds a plain program to sign again, not a table that now lies before the package.
    m_droppedSignature = signing && SignatureClosesFile(*signing, length);
    const int64_t end = m_droppedSignature ? static_cast<int64_t>(signing->tableOffset) : length;
    SipHash24 hash = NewImageHash();
    std::unique_ptr<uint8_t[]> piece(new uint8_t[kImagePiece]);
    for (int64_t offset = 0; offset < end;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(end - offset, kImagePiece));
        if (program.ReadAt(offset, piece.get(), want) != static_cast<int64_t>(want))
            return PackResult::kImageUnreadable;
        // The checksum covered the file without the package: none (0) is better than a wrong one,
        // and with it 0 a reader that hashes the bytes as they are finds the same record.
        if (signing) {
            BlankSignatureFields(*signing, static_cast<uint64_t>(offset), piece.get(), want, m_droppedSignature);
        }
        if (!m_out.Write(piece.get(), want)) return PackResult::kWriteFailed;
        if (signing) BlankSignatureFields(*signing, static_cast<uint64_t>(offset), piece.get(), want);
        hash.Update(piece.get(), want);
        offset += static_cast<int64_t>(want);
    }
    // The package of a PE program ends on the boundary a signer would pad to, so a signature
    // added later starts right behind the package, where the reader looks for it.
    if (signing && end % kPeTableAlignment != 0) {
        const uint8_t zeros[kPeTableAlignment] = {};
        const size_t padding = kPeTableAlignment - static_cast<size_t>(end % kPeTableAlignment);
        if (!m_out.Write(zeros, padding)) return PackResult::kWriteFailed;
        hash.Update(zeros, padding);
    }
    uint8_t record[kIntegrityRecordSize];
    WriteLe64(record, hash.Finish());
    return m_out.Write(record, sizeof record) ? PackResult::kOk : PackResult::kWriteFailed;
}

PackResult PackageWriter::AppendLoadArea(const platform::ReadOnlyFile& load, uint32_t loadSize) {
    if (CheckLoadSize(loadSize) != LoadSizeProblem::kNone) return PackResult::kLoadSizeRefused;
    PackageCipher cipher;
    uint8_t chunk[kChunkSize];
    Crc30CalcPart(chunk, 0, CRC30_FIRST);
    uint64_t done = 0;
    for (bool crcStored = false; !crcStored;) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(loadSize - done, kChunkSize));
        std::memset(chunk, 0, sizeof chunk);
        if (want > 0 && load.ReadAt(static_cast<int64_t>(done), chunk, want) != static_cast<int64_t>(want))
            return PackResult::kLoadUnreadable;
        Crc30CalcPart(chunk, static_cast<uint32_t>(want * 8), CRC30_MIDDLE);
        done += want;
        // The CRC follows the load's last byte in the same chunk; a full last chunk puts it
        // at the start of one more.
        if (done == loadSize && want + kLoadCrcSize <= kChunkSize) {
            WriteLe32(chunk + want, Crc30CalcPart(chunk, 0, CRC30_LAST));
            crcStored = true;
        }
        cipher.EncipherUnit(chunk, sizeof chunk);
        if (!m_out.Write(chunk, sizeof chunk)) return PackResult::kWriteFailed;
    }
    return PackResult::kOk;
}

PackResult PackageWriter::AppendParameterBlock(const PackageValues& values, uint32_t loadSize) {
    if (values.version.size() > kParamVersionMaxText) return PackResult::kVersionTooLong;
    uint8_t block[kParameterBlockSize];
    EncodeParameterBlock(values, loadSize, block);
    PackageCipher cipher;
    cipher.EncipherUnit(block, sizeof block);
    return m_out.Write(block, sizeof block) ? PackResult::kOk : PackResult::kWriteFailed;
}

bool CarriesPackage(platform::ReadOnlyFile& file) {
    CDLParameter parameters;
    return parameters.ReadParameterFromFile(file) == 1;
}
