// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "platform/named_mutex.h"

// The single-instance guard: one named mutex held from start-up until the program ends.
constexpr int32_t MUTEXERR_CREATE = static_cast<int32_t>(0xF00004B1);  // the mutex could not be created
constexpr int32_t MUTEXERR_CLOSE = static_cast<int32_t>(0xF00004B2);   // its handle could not be closed

class CInstanceMutex {
public:
    CInstanceMutex() = default;
    ~CInstanceMutex();
    CInstanceMutex(const CInstanceMutex&) = delete;
    CInstanceMutex& operator=(const CInstanceMutex&) = delete;

    // 1 when this instance now holds the mutex; 0 when another instance holds it (nothing is
    // kept then); MUTEXERR_CREATE when it could not be created (the system's text is logged).
    int32_t Create(const char* name);
    // Releases the mutex if held: 1, or MUTEXERR_CLOSE (logged).
    int32_t Close();

private:
    platform::NamedMutex m_mutex;
};
