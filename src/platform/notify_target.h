// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

namespace platform {

// Where the download engine posts its status and progress messages. The window implements it
// with queued events, the headless front end with a thread-safe queue. Post must not block
// for long and may be called from any thread.
class NotifyTarget {
public:
    virtual ~NotifyTarget() = default;
    virtual void Post(uint32_t message, uintptr_t wParam) = 0;
};

// Posts to target; a null target drops the message, as posting to no window does.
inline void PostTo(NotifyTarget* target, uint32_t message, uintptr_t wParam) {
    if (target) target->Post(message, wParam);
}

}  // namespace platform
