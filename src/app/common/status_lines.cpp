// SPDX-License-Identifier: Apache-2.0
#include "app/common/status_lines.h"

#include "app/common/format_text.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/sys_error.h"

StatusLine StatusLineFor(uint32_t statusCode) {
    switch (statusCode) {
    case STATUS_STARTED: return {lang::IDS_STARTED, false};
    case STATUS_DIAG_READY: return {lang::IDS_DIAG_READY, false};
    case STATUS_DONE: return {lang::IDS_DONE, true};
    case STATUS_ERR_PORT: return {lang::IDS_ERR_PORT, true};
    case STATUS_ERR_MODE: return {lang::IDS_ERR_MODE, true};
    case STATUS_ERR_NOT_DIAG: return {lang::IDS_ERR_NOT_DIAG, true};
    case STATUS_ERR_VERSION: return {lang::IDS_ERR_VERSION, true};
    case STATUS_ERR_WRITE: return {lang::IDS_ERR_WRITE, true};
    case STATUS_ERR_FINAL: return {lang::IDS_ERR_FINAL, true};
    case STATUS_ERR_NAND: return {lang::IDS_ERR_NAND, true};
    case STATUS_ERR_ACC: return {lang::IDS_ERR_ACC, true};
    default: return {};
    }
}

std::string StatusLineBody(uint32_t statusCode, const RunFailure& failure, const TextLookup& text) {
    if (!text) return {};
    if (statusCode == STATUS_ERR_VERSION && failure.HasVersions()) {
        return FormatTexts(text(lang::IDS_ERR_VERSION_MISMATCH), {failure.handsetVersion, failure.loadVersion});
    }
    const unsigned id = StatusLineFor(statusCode).stringId;
    return id != 0 ? text(id) : std::string();
}

std::string PortFailureLine(const RunFailure& failure, const std::string& portName, const TextLookup& text) {
    const PortFailure& port = failure.port;
    if (port.kind == PortFailure::Kind::kNone || !text) return {};
    const std::string where = port.device.empty() ? portName : portName + " (" + port.device + ")";
    const std::string system = platform::SysErrorPhrase(port.error);
    using Kind = PortFailure::Kind;
    switch (port.kind) {
    case Kind::kAbsent: return FormatText(text(lang::IDS_PORT_ABSENT), where);
    case Kind::kNoAccess: return FormatTexts(text(lang::IDS_PORT_NO_ACCESS), {where, system});
    case Kind::kInUse:
        if (port.holderPid <= 0) return FormatText(text(lang::IDS_PORT_IN_USE_UNKNOWN), where);
        return FormatTexts(text(lang::IDS_PORT_IN_USE),
                           {where, port.holderName + " (PID " + std::to_string(port.holderPid) + ")"});
    case Kind::kNotSerial: return FormatTexts(text(lang::IDS_PORT_NOT_SERIAL), {where, system});
    case Kind::kNoAnswer: return FormatText(text(lang::IDS_PORT_NO_ANSWER), where);
    case Kind::kOther: return FormatTexts(text(lang::IDS_PORT_FAILED), {where, system});
    case Kind::kNone: break;
    }
    return {};
}
