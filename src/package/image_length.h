// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>

#include "platform/read_only_file.h"

// Where a program file's own image ends, as its headers tell it: an ELF file (its section and
// program headers and what they point at) or a PE file (its sections, symbol table and the
// certificate table that follows them). A package is appended after that point; a file that ends
// there carries none, and one that ends anywhere else carries one that is damaged or was cut
// short. Nothing when the file is neither, or its headers cannot be read.
std::optional<uint64_t> ProgramImageLength(const platform::ReadOnlyFile& file);
