#include "app/common/status_lines.h"

#include "engine/dl_status.h"
#include "lang/string_ids.h"

StatusLine StatusLineFor(uint32_t statusCode) {
    switch (statusCode) {
    case STATUS_STARTED: return {lang::IDS_STARTED, false};
    case STATUS_DIAG_READY: return {lang::IDS_DIAG_READY, false};
    case STATUS_DONE: return {lang::IDS_DONE, true};
    case STATUS_ERR_PORT: return {lang::IDS_ERR_PORT, true};
    case STATUS_ERR_MODE:
    case STATUS_ERR_NOT_DIAG: return {lang::IDS_ERR_MODE, true};
    case STATUS_ERR_VERSION: return {lang::IDS_ERR_VERSION, true};
    case STATUS_ERR_WRITE:
    case STATUS_ERR_FINAL:
    case STATUS_ERR_NAND: return {lang::IDS_ERR_WRITE, true};
    case STATUS_ERR_ACC: return {lang::IDS_ERR_ACC, true};
    default: return {};
    }
}
