// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>

#include "platform/read_only_file.h"

// The decoded parameter block of the package: the load's version text and size, and the four
// values the package builder stores for its own use.
class CDLParameter {
public:
    CDLParameter() = default;
    virtual ~CDLParameter();

    // Reads the 512 bytes at the end of file, deciphers and checks them, and on success keeps
    // their fields. 1, PKGERR_PARAM_CRC, PKGERR_MARKER, PKGERR_PARAM_SHORT or PKGERR_PARAM_READ;
    // a failure leaves the members as they were.
    int32_t ReadParameterFromFile(platform::ReadOnlyFile& file);

    const std::string& GetVersion() const { return m_strVersion; }
    uint16_t GetValue16() const { return m_wValue; }
    uint32_t GetLoadSize() const { return m_dwLoadSize; }
    uint32_t GetValue32A() const { return m_dwValueA; }
    uint32_t GetValue32B() const { return m_dwValueB; }
    uint32_t GetValue32C() const { return m_dwValueC; }

private:
    std::string m_strVersion;
    uint16_t m_wValue = 0;
    uint32_t m_dwLoadSize = 0;
    uint32_t m_dwValueA = 0;
    uint32_t m_dwValueB = 0;
    uint32_t m_dwValueC = 0;
};
