// SPDX-License-Identifier: Apache-2.0
#include "package/load_progress.h"

#include "package/package_layout.h"
#include "platform/window_messages.h"

LoadProgress::LoadProgress(uint32_t loadSize, platform::NotifyTarget* window)
    : m_loadSize(loadSize), m_window(window) {}

void LoadProgress::Start() {
    m_lastPosted = 0;
    platform::PostTo(m_window, WM_DL_PROGRESS, 0);
}

void LoadProgress::ChunkChecked(uint64_t areaOffset) {
    if (!m_window || m_loadSize == 0) return;
    // 64-bit, so loads above 42 MB do not overflow; the last chunks pass the load's end, where
    // the share is capped at 100 (and 100 itself is kept for success).
    uint64_t percent = (areaOffset + kChunkSize) * 100 / m_loadSize;
    if (percent > 100) percent = 100;
    if (percent == m_lastPosted || percent == 100) return;
    m_lastPosted = static_cast<uint32_t>(percent);
    m_window->Post(WM_DL_PROGRESS, m_lastPosted);
}

void LoadProgress::Succeeded() { platform::PostTo(m_window, WM_DL_PROGRESS, 100); }
