// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "package/siphash.h"
#include "platform/read_only_file.h"

// The integrity record of the program image: SipHash-2-4 over every byte before the package,
// keyed by a 16-byte key derived from the package key, stored as 8 little-endian bytes. In a PE
// program the header's checksum and security directory entry count as zeros: signing the packed
// program rewrites them (pe_signature.h). The packer writes them as zeros where it can (the
// checksum always, the entry where it drops a signature), so a reader that hashes the bytes as
// they are finds the same record in an unsigned program.

// A hash object keyed for the program image.
SipHash24 NewImageHash();

// Hashes the first imageLength bytes of file (the signing fields as zeros) in large pieces,
// without moving its position; asWritten, when given, receives the hash of the bytes as they are
// (a program packed before the signing fields were left out carries that one). 1, or
// PKGERR_LOAD_READ when the bytes cannot all be read (a line is logged under source).
int32_t DigestImage(const platform::ReadOnlyFile& file, int64_t imageLength, const char* source, uint64_t& digest,
                    uint64_t* asWritten = nullptr);
