// SPDX-License-Identifier: Apache-2.0
#include "package/image_digest.h"

#include <algorithm>
#include <cerrno>
#include <memory>

#include "log/log.h"
#include "package/package_cipher.h"
#include "package/package_errors.h"
#include "package/package_key.h"
#include "package/pe_signature.h"
#include "platform/sys_error.h"

namespace {

constexpr size_t kPieceSize = size_t{256} * 1024;

}  // namespace

SipHash24 NewImageHash() {
    // Two fixed blocks enciphered with the package key give the hash key, so the key follows
    // the package key without being a copy of it.
    uint8_t key[16] = {'V', 'x', 'l', 'r', 'I', 'm', 'g', '0', 'V', 'x', 'l', 'r', 'I', 'm', 'g', '1'};
    PackageCipher cipher;
    cipher.EncipherBlock(key);
    cipher.EncipherBlock(key + 8);
    SipHash24 hash = SipHash24::FromKeyBytes(key);
    WipeBytes(key, sizeof key);
    return hash;
}

int32_t DigestImage(const platform::ReadOnlyFile& file, int64_t imageLength, const char* source, uint64_t& digest,
                    uint64_t* asWritten) {
    SipHash24 hash = NewImageHash();
    SipHash24 plain = NewImageHash();
    const auto signing = FindPeSignatureFields(file);
    std::unique_ptr<uint8_t[]> piece(new uint8_t[kPieceSize]);
    for (int64_t offset = 0; offset < imageLength;) {
        size_t want = static_cast<size_t>(std::min<int64_t>(imageLength - offset, kPieceSize));
        errno = 0;
        int64_t got = file.ReadAt(offset, piece.get(), want);
        if (got != static_cast<int64_t>(want)) {
            int error = errno;
            if (got < 0)
                LogWriteSrc(LOG_ER, source, "Reading the program image at %llX failed: %s",
                            static_cast<unsigned long long>(offset), platform::SysErrorText(error).c_str());
            else
                LogWriteSrc(LOG_ER, source, "The program image ends early at %llX.",
                            static_cast<unsigned long long>(offset) + static_cast<unsigned long long>(got));
            return PKGERR_LOAD_READ;
        }
        if (asWritten) plain.Update(piece.get(), want);
        if (signing) BlankSignatureFields(*signing, static_cast<uint64_t>(offset), piece.get(), want);
        hash.Update(piece.get(), want);
        offset += static_cast<int64_t>(want);
    }
    digest = hash.Finish();
    if (asWritten) *asWritten = plain.Finish();
    return 1;
}
