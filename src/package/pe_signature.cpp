// SPDX-License-Identifier: Apache-2.0
#include "package/pe_signature.h"

#include <algorithm>

namespace {

constexpr uint64_t kPeSignature = 0x4550;  // "PE\0\0"
constexpr uint64_t kPe32PlusMagic = 0x20B;
constexpr uint64_t kChecksumField = 64;  // from the optional header's start
constexpr uint64_t kSecurityDirectory = 4;
// A certificate table's first entry (WIN_CERTIFICATE): its length, revision 2.0, PKCS#7 signed data.
constexpr uint64_t kCertificateRevision = 0x0200;
constexpr uint64_t kCertificatePkcs7 = 0x0002;
constexpr uint64_t kCertificateHeader = 8;

std::optional<uint64_t> Number(const platform::ReadOnlyFile& file, uint64_t offset, size_t count) {
    uint8_t bytes[4] = {};
    if (count > sizeof bytes || offset > (uint64_t{1} << 40) ||
        file.ReadAt(static_cast<int64_t>(offset), bytes, count) != static_cast<int64_t>(count)) {
        return std::nullopt;
    }
    uint64_t value = 0;
    for (size_t i = count; i > 0; --i) value = (value << 8) | bytes[i - 1];
    return value;
}

void BlankRange(uint64_t field, size_t fieldSize, uint64_t offset, uint8_t* data, size_t size) {
    const uint64_t from = std::max(field, offset);
    const uint64_t to = std::min(field + fieldSize, offset + size);
    for (uint64_t at = from; at < to; ++at) data[at - offset] = 0;
}

}  // namespace

std::optional<PeSignatureFields> FindPeSignatureFields(const platform::ReadOnlyFile& file) {
    if (Number(file, 0, 2) != 0x5A4D) return std::nullopt;  // "MZ"
    const auto pe = Number(file, 0x3C, 4);
    if (!pe || Number(file, *pe, 4) != kPeSignature) return std::nullopt;
    const uint64_t optional = *pe + 24;
    const auto optionalSize = Number(file, *pe + 20, 2);
    const auto magic = Number(file, optional, 2);
    if (!optionalSize || !magic) return std::nullopt;
    const uint64_t directories = optional + (*magic == kPe32PlusMagic ? 112 : 96);
    PeSignatureFields fields;
    fields.checksumOffset = optional + kChecksumField;
    fields.directoryOffset = directories + kSecurityDirectory * kPeDirectorySize;
    // A header too short to hold the entry has no certificate table.
    if (fields.directoryOffset + kPeDirectorySize > optional + *optionalSize) return std::nullopt;
    const auto table = Number(file, fields.directoryOffset, 4);
    const auto size = Number(file, fields.directoryOffset + 4, 4);
    if (!table || !size) return std::nullopt;
    // Only a table that starts as a signer writes one counts: bytes merely appended and named by the
    // directory entry (which the integrity record leaves out) are no signature to look past.
    const auto entryLength = Number(file, *table, 4);
    if (*table != 0 && *size >= kCertificateHeader && entryLength && *entryLength >= kCertificateHeader &&
        *entryLength <= *size && Number(file, *table + 4, 2) == kCertificateRevision &&
        Number(file, *table + 6, 2) == kCertificatePkcs7) {
        fields.tableOffset = *table;
        fields.tableSize = *size;
    }
    return fields;
}

bool SignatureClosesFile(const PeSignatureFields& fields, int64_t fileLength) {
    return fields.tableOffset != 0 && fileLength >= 0 &&
           fields.tableOffset + fields.tableSize == static_cast<uint64_t>(fileLength);
}

int64_t PackageEnd(const platform::ReadOnlyFile& file) {
    const int64_t length = file.Length();
    if (length < 0) return length;
    const auto fields = FindPeSignatureFields(file);
    if (fields && SignatureClosesFile(*fields, length)) return static_cast<int64_t>(fields->tableOffset);
    return length;
}

void BlankSignatureFields(const PeSignatureFields& fields, uint64_t offset, uint8_t* data, size_t size, bool entry) {
    BlankRange(fields.checksumOffset, kPeChecksumSize, offset, data, size);
    if (entry) BlankRange(fields.directoryOffset, kPeDirectorySize, offset, data, size);
}
