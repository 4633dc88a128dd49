// SPDX-License-Identifier: Apache-2.0
#include "app/common/instance_mutex.h"

#include <cerrno>

#include "log/log.h"

CInstanceMutex::~CInstanceMutex() { Close(); }

int32_t CInstanceMutex::Create(const char* name) {
    switch (m_mutex.Create(name ? name : "")) {
    case platform::NamedMutex::Result::Created: return 1;
    case platform::NamedMutex::Result::AlreadyExists: return 0;
    case platform::NamedMutex::Result::Failed: break;
    }
    LogSysError(errno);
    return MUTEXERR_CREATE;
}

int32_t CInstanceMutex::Close() {
    if (m_mutex.Close()) return 1;
    LogSysError(errno);
    return MUTEXERR_CLOSE;
}
