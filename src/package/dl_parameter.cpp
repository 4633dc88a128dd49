// SPDX-License-Identifier: Apache-2.0
#include "package/dl_parameter.h"

#include <cerrno>
#include <cstring>

#include "link/crc.h"
#include "log/log.h"
#include "package/package_cipher.h"
#include "package/package_errors.h"
#include "package/package_key.h"
#include "package/package_layout.h"
#include "package/pe_signature.h"
#include "platform/sys_error.h"

namespace {

constexpr const char* kSource = "CDLParameter::ReadParameterFromFile";

// Reads the package's last 512 bytes (the file's, or those before a certificate table that
// closes it) into block. 1 or a failure code, logged.
int32_t ReadLastBlock(platform::ReadOnlyFile& file, uint8_t* block) {
    const int64_t length = PackageEnd(file);
    if (length < 0) {
        LogWriteSrc(LOG_ER, kSource, "The length of the program file cannot be read.");
        return PKGERR_PARAM_READ;
    }
    if (length < kParameterBlockSize) {
        LogWriteSrc(LOG_ER, kSource, "The file of %lld bytes is too short for a parameter block.",
                    static_cast<long long>(length));
        return PKGERR_PARAM_SHORT;
    }
    file.SeekFromStart(length - static_cast<int64_t>(kParameterBlockSize));
    errno = 0;
    const int64_t got = file.Read(block, kParameterBlockSize);
    if (got != kParameterBlockSize) {
        if (got < 0)
            LogWriteSrc(LOG_ER, kSource, "Reading the parameter block failed: %s",
                        platform::SysErrorText(errno).c_str());
        else
            LogWriteSrc(LOG_ER, kSource, "Only %lld bytes of the parameter block could be read.",
                        static_cast<long long>(got));
        return PKGERR_PARAM_READ;
    }
    return 1;
}

}  // namespace

CDLParameter::~CDLParameter() {
    m_strVersion.clear();
    m_wValue = 0;
    m_dwLoadSize = m_dwValueA = m_dwValueB = m_dwValueC = 0;
}

int32_t CDLParameter::ReadParameterFromFile(platform::ReadOnlyFile& file) {
    uint8_t block[kParameterBlockSize];
    int32_t result = ReadLastBlock(file, block);
    if (result != 1) return result;

    PackageCipher cipher;
    cipher.DecipherUnit(block, sizeof block);

    // The CRC comes first: a block that fails both reports only the CRC.
    const uint32_t crc = Crc30Calc(block, kParamCrcOffset * 8);
    if (crc != ReadLe32(block + kParamCrcOffset)) {
        LogWriteSrc(LOG_ER, kSource, "CRC failure.");
        WipeBytes(block, sizeof block);
        return PKGERR_PARAM_CRC;
    }

    uint8_t marker[kPackageMarkerLength];
    {
        PackageKey key;
        FormPackageMarker(key, marker);
    }
    const bool markerMatches = std::memcmp(block + kParamMarkerOffset, marker, sizeof marker) == 0;
    WipeBytes(marker, sizeof marker);
    if (!markerMatches) {
        LogWriteSrc(LOG_ER, kSource, "First four byte mismatch.");
        LogWriteSrc(LOG_ER, kSource, "The four byte in buffer is.");
        LogDump(LOG_ER, block + kParamMarkerOffset, kPackageMarkerLength);
        WipeBytes(block, sizeof block);
        return PKGERR_MARKER;
    }

    const char* text = reinterpret_cast<const char*>(block + kParamVersionOffset);
    m_strVersion.assign(text, strnlen(text, kParamVersionScanLimit));
    m_wValue = ReadLe16(block + kParamValue16Offset);
    m_dwLoadSize = ReadLe32(block + kParamLoadSizeOffset);
    m_dwValueA = ReadLe32(block + kParamValue32aOffset);
    m_dwValueB = ReadLe32(block + kParamValue32bOffset);
    m_dwValueC = ReadLe32(block + kParamValue32cOffset);
    WipeBytes(block, sizeof block);
    return 1;
}
