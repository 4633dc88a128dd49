// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/read_only_file.h"

// An Authenticode signature is a certificate table appended to a PE file, found through the
// optional header's security directory; signing also rewrites the header's checksum. A program
// packed first and signed after carries the table behind its package, and those two header fields
// differ from what was packed: the package reader looks before the table and leaves the two fields
// out of the image's integrity record, as Authenticode leaves them out of its own hash.
struct PeSignatureFields {
    uint64_t checksumOffset = 0;   // the optional header's CheckSum, 4 bytes
    uint64_t directoryOffset = 0;  // the security directory entry: table offset and size, 4 bytes each
    uint64_t tableOffset = 0;      // the certificate table; 0 when the file carries none (or no valid one)
    uint64_t tableSize = 0;
};

constexpr size_t kPeChecksumSize = 4;
constexpr size_t kPeDirectorySize = 8;
// Signers start the certificate table on an 8-byte boundary, padding the file with zeros first.
constexpr uint64_t kPeTableAlignment = 8;

// The fields of a PE file; nothing for a file that is not one or whose headers are cut short.
std::optional<PeSignatureFields> FindPeSignatureFields(const platform::ReadOnlyFile& file);

// True when the file's certificate table is its last part, as a signer leaves it.
bool SignatureClosesFile(const PeSignatureFields& fields, int64_t fileLength);

// Where a package appended to the file ends: at the start of a certificate table that closes the
// file, else at the file's end. -1 when the length cannot be read.
int64_t PackageEnd(const platform::ReadOnlyFile& file);

// Zeroes the bytes of data (which lies at offset in the file) that are the checksum or, unless
// entry is false, the security directory entry of fields.
void BlankSignatureFields(const PeSignatureFields& fields, uint64_t offset, uint8_t* data, size_t size,
                          bool entry = true);
