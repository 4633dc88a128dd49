// SPDX-License-Identifier: Apache-2.0
#include "app/common/status_lines.h"

#include "app/common/format_text.h"
#include "app/common/pack_advice.h"
#include "app/common/text_columns.h"
#include "engine/dl_status.h"
#include "lang/string_ids.h"
#include "platform/sys_error.h"
#include "platform/system_kind.h"

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

std::string StatusLineBody(uint32_t statusCode, const TextLookup& text) {
    const unsigned id = StatusLineFor(statusCode).stringId;
    return id != 0 && text ? text(id) : std::string();
}

std::string StatusLineBody(uint32_t statusCode, const RunFailure& failure, const TextLookup& text) {
    if (statusCode == STATUS_ERR_VERSION && failure.HasVersions() && text) {
        const std::string mismatch = text(lang::IDS_ERR_VERSION_MISMATCH);
        if (!mismatch.empty()) return FormatTexts(mismatch, {failure.handsetVersion, failure.loadVersion});
    }
    return StatusLineBody(statusCode, text);
}

std::string StoppedLine(const TextLookup& text) {
    if (!text) return {};
    const std::string stopped = text(lang::IDS_STOPPED);
    const std::string advice = text(lang::IDS_STOPPED_ADVICE);
    return JoinSentences(stopped, advice);
}

namespace {

std::string PortLine(const PortFailure& port, const std::string& portName, const TextLookup& text) {
    const std::string where = port.device.empty() ? portName : portName + " (" + port.device + ")";
    const std::string system = platform::SysErrorPhrase(port.error);
    using Kind = PortFailure::Kind;
    switch (port.kind) {
    case Kind::kAbsent: return FormatText(text(lang::IDS_PORT_ABSENT), where);
    case Kind::kNoAccess:
        return FormatTexts(text(platform::kWindowsSystem ? lang::IDS_PORT_NO_ACCESS_WINDOWS : lang::IDS_PORT_NO_ACCESS),
                           {where, system});
    case Kind::kInUse:
        if (port.holderPid <= 0) return FormatText(text(lang::IDS_PORT_IN_USE_UNKNOWN), where);
        return FormatTexts(text(lang::IDS_PORT_IN_USE),
                           {where, port.holderName + " (PID " + std::to_string(port.holderPid) + ")"});
    case Kind::kNotSerial: return FormatTexts(text(lang::IDS_PORT_NOT_SERIAL), {where, system});
    case Kind::kNoAnswer: return FormatText(text(lang::IDS_PORT_NO_ANSWER), where);
    case Kind::kOther: return FormatTexts(text(lang::IDS_PORT_FAILED), {where, system});
    case Kind::kGone: return FormatText(text(lang::IDS_PORT_GONE), where);
    case Kind::kNone: break;
    }
    return {};
}

}  // namespace

std::string FailureDetailLine(uint32_t statusCode, const RunFailure& failure, const std::string& portName,
                              const TextLookup& text) {
    if (!text) return {};
    if (failure.port.kind != PortFailure::Kind::kNone) return PortLine(failure.port, portName, text);
    switch (statusCode) {
    case STATUS_ERR_NOT_DIAG: return text(lang::IDS_ERR_NOT_DIAG);
    case STATUS_ERR_FINAL: return text(lang::IDS_ERR_FINAL);
    case STATUS_ERR_NAND: return text(lang::IDS_ERR_NAND);
    case STATUS_ERR_VERSION:
        // The versions are on the status line (StatusLineBody): here, what to do instead.
        if (!failure.HasVersions()) return {};
        if (text(lang::IDS_ERR_VERSION_MISMATCH).empty()) return {};
        return text(lang::IDS_VERSION_ADVICE);
    default: return {};
    }
}

std::string PortBusyLine(const PortFailure& holder, const std::string& portName, const TextLookup& text) {
    if (!text) return {};
    if (holder.holderPid <= 0) return FormatText(text(lang::IDS_PORT_BUSY_WAITING_UNKNOWN), portName);
    return FormatTexts(text(lang::IDS_PORT_BUSY_WAITING),
                       {portName, holder.holderName + " (PID " + std::to_string(holder.holderPid) + ")"});
}

std::string PackageCheckMessage(bool carriesNoPackage, const std::string& programPath, const TextLookup& text) {
    if (!text) return {};
    if (carriesNoPackage) {
        // Not damage: a program fresh from the build or the installer. It says so in its own
        // words, with the command that packs a load into it.
        const std::string none = text(lang::IDS_NO_LOAD_YET);
        const std::string how = text(lang::IDS_NO_LOAD_PACK);
        if (!none.empty() && !how.empty()) return none + "\n" + FormatText(how, PackCommandFor(programPath));
    }
    std::string message = text(lang::IDS_CHECK_FAILED);
    // A library from before the texts above still tells the missing load under the failed check.
    const std::string reason = carriesNoPackage ? text(lang::IDS_NO_LOAD) : std::string();
    if (!reason.empty()) message += (message.empty() ? "" : "\n") + reason;
    return message;
}
