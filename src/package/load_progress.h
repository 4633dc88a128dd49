// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "platform/notify_target.h"

// The percentages the load check posts as WM_DL_PROGRESS: 0 at the start, each new whole
// percentage as chunks are checked (never 100 there, never the same twice), 100 on success only.
class LoadProgress {
public:
    // window may be null: nothing is posted.
    LoadProgress(uint32_t loadSize, platform::NotifyTarget* window);

    void Start();
    // After the chunk at areaOffset in the load area has been checked.
    void ChunkChecked(uint64_t areaOffset);
    void Succeeded();

private:
    uint32_t m_loadSize;
    platform::NotifyTarget* m_window;
    uint32_t m_lastPosted = 0;
};
