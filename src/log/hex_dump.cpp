// SPDX-License-Identifier: Apache-2.0
#include "log/hex_dump.h"

namespace diaglog {

size_t HexDump(const void* bytes, size_t count, char* out, size_t outSize) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (outSize == 0) return 0;
    const auto* in = static_cast<const unsigned char*>(bytes);
    size_t written = 0;
    for (size_t i = 0; i < count && written + 3 < outSize; ++i) {
        out[written++] = kDigits[in[i] >> 4];
        out[written++] = kDigits[in[i] & 0x0F];
        out[written++] = ' ';
    }
    out[written] = '\0';
    return written;
}

}  // namespace diaglog
