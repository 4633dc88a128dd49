// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// The two messages the download engine posts: WM_DL_STATUS (0x601, wParam a status code below)
// and WM_DL_PROGRESS (0x602, wParam a percentage 0..100).
#include "platform/window_messages.h"

// Status codes of a run. Every run posts STATUS_STARTED and then at most one more: the done
// status, one of the errors, or none at all when the run was stopped.
enum DownloadStatus : uint32_t {
    STATUS_STARTED = 0x001,
    STATUS_DIAG_READY = 0x060,
    STATUS_DONE = 0x065,
    STATUS_ERR_PORT = 0xF01,
    STATUS_ERR_MODE = 0xF0C,
    STATUS_ERR_NOT_DIAG = 0xF15,
    STATUS_ERR_VERSION = 0xF60,
    STATUS_ERR_WRITE = 0xF62,
    STATUS_ERR_FINAL = 0xF63,
    STATUS_ERR_NAND = 0xF64,
    STATUS_ERR_ACC = 0xF66,
};

// What a run tells while it goes on, beside its status (WM_DL_NOTICE): the front end asks the
// operator for the details (CDLOperator::LastNotice).
enum DownloadNotice : uint32_t {
    NOTICE_PORT_BUSY = 1,  // another program holds the port; the run waits for it to let go
};

// True for the codes that end a run (done or an error); the other two only mark progress.
constexpr bool IsFinalStatus(uint32_t status) { return status != STATUS_STARTED && status != STATUS_DIAG_READY; }
