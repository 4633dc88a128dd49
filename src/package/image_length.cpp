// SPDX-License-Identifier: Apache-2.0
#include "package/image_length.h"

#include <algorithm>

#include "package/pe_signature.h"

namespace {

// No program is larger than this; an offset past it is no header of one (and sums stay small).
constexpr uint64_t kMaxOffset = uint64_t{1} << 40;

class Reader {
public:
    explicit Reader(const platform::ReadOnlyFile& file) : m_file(file) {}
    // count bytes at offset, little-endian, or nothing when they are not all there.
    std::optional<uint64_t> Number(uint64_t offset, size_t count) const {
        uint8_t bytes[8] = {};
        if (count > sizeof bytes ||
            m_file.ReadAt(static_cast<int64_t>(offset), bytes, count) != static_cast<int64_t>(count)) {
            return std::nullopt;
        }
        uint64_t value = 0;
        for (size_t i = count; i > 0; --i) value = (value << 8) | bytes[i - 1];
        return value;
    }

private:
    const platform::ReadOnlyFile& m_file;
};

std::optional<uint64_t> ElfLength(const Reader& read, bool wide) {
    // Offsets of the ELF header fields, for the 32-bit and the 64-bit form.
    const auto phoffRead = read.Number(wide ? 0x20 : 0x1C, wide ? 8 : 4);
    const auto shoff = read.Number(wide ? 0x28 : 0x20, wide ? 8 : 4);
    const auto phentsize = read.Number(wide ? 0x36 : 0x2A, 2);
    const auto phnum = read.Number(wide ? 0x38 : 0x2C, 2);
    const auto shentsize = read.Number(wide ? 0x3A : 0x2E, 2);
    const auto shnum = read.Number(wide ? 0x3C : 0x30, 2);
    if (!phoffRead || !shoff || !phentsize || !phnum || !shentsize || !shnum) return std::nullopt;
    const uint64_t phoff = *phoffRead;
    if (phoff > kMaxOffset || *shoff > kMaxOffset) return std::nullopt;
    uint64_t end = std::max(phoff + *phnum * *phentsize, *shoff == 0 ? 0 : *shoff + *shnum * *shentsize);
    // What the program headers map from the file (the whole image where the section headers
    // were stripped off).
    for (uint64_t i = 0; i < *phnum; ++i) {
        const uint64_t entry = phoff + i * *phentsize;
        const auto offset = read.Number(entry + (wide ? 0x08 : 0x04), wide ? 8 : 4);
        const auto size = read.Number(entry + (wide ? 0x20 : 0x10), wide ? 8 : 4);
        if (!offset || !size) break;  // cut inside the headers: the end above already says so
        end = std::max(end, *offset + *size);
    }
    return end;
}

std::optional<uint64_t> PeLength(const Reader& read) {
    const auto pe = read.Number(0x3C, 4);
    if (!pe || read.Number(*pe, 4) != 0x4550) return std::nullopt;  // "PE\0\0"
    const uint64_t coff = *pe + 4;
    const auto sections = read.Number(coff + 2, 2);
    const auto symbols = read.Number(coff + 8, 4);
    const auto symbolCount = read.Number(coff + 12, 4);
    const auto optionalSize = read.Number(coff + 16, 2);
    if (!sections || !symbols || !symbolCount || !optionalSize) return std::nullopt;
    const uint64_t optional = coff + 20;
    const uint64_t table = optional + *optionalSize;
    uint64_t end = table + *sections * 40;
    for (uint64_t i = 0; i < *sections; ++i) {
        const auto size = read.Number(table + i * 40 + 16, 4);
        const auto offset = read.Number(table + i * 40 + 20, 4);
        if (!size || !offset) break;
        end = std::max(end, *offset + *size);
    }
    if (*symbols != 0) {
        // The COFF symbols (18 bytes each) and, after them, the string table that gives its own size.
        const uint64_t strings = *symbols + *symbolCount * 18;
        end = std::max(end, strings + read.Number(strings, 4).value_or(4));
    }
    // The certificate table (data directory 4) lies outside every section.
    const auto magic = read.Number(optional, 2);
    const uint64_t directories = optional + (magic == 0x20B ? 112 : 96);
    const auto certificate = read.Number(directories + uint64_t{4} * 8, 4);
    const auto certificateSize = read.Number(directories + uint64_t{4} * 8 + 4, 4);
    // Signed after packing, the table lies behind the package: then the image ends before it, and
    // a file whose package is damaged is told from one that carries none.
    const uint64_t padded = (end + kPeTableAlignment - 1) / kPeTableAlignment * kPeTableAlignment;
    if (certificate && certificateSize && *certificate != 0 && directories + uint64_t{5} * 8 <= table &&
        *certificate <= padded) {
        end = std::max(end, *certificate + *certificateSize);
    }
    return end;
}

}  // namespace

std::optional<uint64_t> ProgramImageLength(const platform::ReadOnlyFile& file) {
    const Reader read(file);
    const auto magic = read.Number(0, 4);
    if (!magic) return std::nullopt;
    if (*magic == 0x464C457F) {               // "\x7F" "ELF"
        const auto form = read.Number(4, 2);  // class, then byte order
        if (form == 0x0101) return ElfLength(read, false);
        if (form == 0x0102) return ElfLength(read, true);
        return std::nullopt;  // big-endian: not a program this tool runs as
    }
    if ((*magic & 0xFFFF) == 0x5A4D) return PeLength(read);  // "MZ"
    return std::nullopt;
}
