// SPDX-License-Identifier: Apache-2.0
// Mode recognition over the bytes of one arbitrary read.
//
// Checks: the result is one of the four modes it can name; a read that is recognised keeps its
// mode whatever follows it (bytes after a pattern are ignored), so a shorter read that already
// names a mode agrees with the longer one; a read recognised as a mode is never shorter than the
// shortest reply pattern.
#include <vector>

#include "fuzz_support.h"
#include "serial/phone_mode.h"

namespace {
constexpr size_t kShortestPattern = 5;  // the DL acknowledgement 7E 02 6A D3 7E
constexpr size_t kLongestPattern = 12;  // the DS echo
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly size bytes, so that a read past the end is caught.
    const std::vector<uint8_t> bytes(data, data + size);
    const EPhoneMode whole = ClassifyReply(bytes.data(), bytes.size());
    FUZZ_CHECK(whole == PHONE_MODE_UNKNOWN || whole == PHONE_MODE_DS || whole == PHONE_MODE_DIAG ||
               whole == PHONE_MODE_DL);
    if (whole != PHONE_MODE_UNKNOWN) FUZZ_CHECK(size >= kShortestPattern);

    for (size_t length = 0; length <= size && length <= kLongestPattern; ++length) {
        const std::vector<uint8_t> prefix(data, data + length);
        const EPhoneMode early = ClassifyReply(prefix.data(), prefix.size());
        if (early != PHONE_MODE_UNKNOWN) FUZZ_CHECK(early == whole);
    }
    FUZZ_CHECK(ClassifyReply(nullptr, size) == PHONE_MODE_UNKNOWN);
    return 0;
}
