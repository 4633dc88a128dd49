// SPDX-License-Identifier: Apache-2.0
// The process-wide diagnostic log.
//
// Choices where the log's contract leaves room:
// - "App" texts too long for the 100-character file name are refused (LOGERR_OPEN_FILE, no log)
//   rather than cut: a cut folder path would put the file somewhere nobody looks.
// - Messages are formatted straight into the line buffer; since a line holds at most 4096
//   characters, the message limits (16384 and 4095) can never show and need no buffer of their own.
// - LogOpen on an open log closes it properly first (footer included) and starts afresh.
// - A dump of a missing buffer or of a negative count reports 0 bytes.
// - The file's share modes are stood in for by flock locks (see LogFile::Open).
#include "log/log.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <utility>

#include "log/hex_dump.h"
#include "log/log_file.h"
#include "log/log_line.h"
#include "log/log_overrides.h"
#include "log/log_settings.h"
#include "platform/local_time.h"
#include "platform/sys_error.h"

namespace {

using diaglog::LogLine;

// Message limits: LogWrite (and so every dump and system error line) and LogWriteSrc/LogWritePort.
constexpr size_t kPlainMessageMax = 16384;
constexpr size_t kColumnMessageMax = 4095;
// At most this many bytes of a buffer are dumped.
constexpr int32_t kDumpBytesMax = 4096;
// More bytes than this never fit in one line ("%02X " per byte), so no more are converted.
constexpr size_t kDumpVisibleBytes = diaglog::kLineMax / 3 + 1;

constexpr char kStars[] = "*******************************************************************************";
static_assert(sizeof kStars - 1 == 79);

// The level test of every write is this one relaxed load and comparison: it holds the configured
// level while the log is open and a value below every level while it is closed.
constexpr int64_t kClosedGate = INT64_MIN;
std::atomic<int64_t> g_gate{kClosedGate};

// Never destroyed: a thread still logging while the process exits finds a closed log, not a
// destroyed one. Made on first use, so the log also works from other files' static initialisers.
diaglog::LogFile& File() {
    static diaglog::LogFile* file = new diaglog::LogFile;
    return *file;
}
std::mutex g_openCloseMutex;  // LogOpen and LogClose only; writers never take it

enum class Layout { Plain, Source, Port };

void BuildLine(LogLine& line, int32_t level, Layout layout, const char* port, const char* source, const char* format,
               va_list args) __attribute__((format(printf, 6, 0)));

void BuildLine(LogLine& line, int32_t level, Layout layout, const char* port, const char* source, const char* format,
               va_list args) {
    line.AppendPrefix(level, platform::Now());
    if (layout == Layout::Port) {
        line.Append(port ? port : "");
        line.Append("\t");
    }
    if (layout != Layout::Plain) {
        line.Append(source ? source : "");
        line.Append(layout == Layout::Source ? "\t " : "\t");
    }
    if (format) {  // a null format is an empty message
        line.AppendFormatted(layout == Layout::Plain ? kPlainMessageMax : kColumnMessageMax, format, args);
    }
    line.End();
}

// Only LOG_NML and LOG_ER lines are forced to disk at once.
bool FlushesAtOnce(int32_t level) { return level == LOG_NML || level == LOG_ER; }

int32_t WriteLineV(int32_t level, Layout layout, const char* port, const char* source, const char* format, va_list args)
    __attribute__((format(printf, 5, 0)));

int32_t WriteLineV(int32_t level, Layout layout, const char* port, const char* source, const char* format,
                   va_list args) {
    LogLine line;
    BuildLine(line, level, layout, port, source, format, args);
    return File().Write(line.Data(), line.Size(), FlushesAtOnce(level)) ? 1 : 0;
}

// A header or footer line of an open log whose writers are sealed off.
void WriteSealedLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

void WriteSealedLine(const char* format, ...) {
    LogLine line;
    va_list args;
    va_start(args, format);
    BuildLine(line, LOG_NML, Layout::Plain, nullptr, nullptr, format, args);
    va_end(args);
    File().WriteSealed(line.Data(), line.Size(), FlushesAtOnce(LOG_NML));
}

int32_t WritePlain(int32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

int32_t WritePlain(int32_t level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int32_t result = WriteLineV(level, Layout::Plain, nullptr, nullptr, format, args);
    va_end(args);
    return result;
}

// The count a dump reports: at most 4096, and none of a missing or negative buffer.
int32_t DumpCount(const void* bytes, int32_t count) {
    if (!bytes || count < 0) return 0;
    return std::min(count, kDumpBytesMax);
}

// The footer is written after every other thread's write has finished, so it ends the file.
void CloseLocked() {
    if (!File().IsOpen()) return;
    int64_t level = g_gate.exchange(kClosedGate);
    File().Seal();
    if (LOG_NML <= level) {
        WriteSealedLine("*...End....");
        WriteSealedLine("%s", kStars);
    }
    File().Close();
}

// LogHoldThread: whether this thread's lines are held back, and how many were.
thread_local bool t_holding = false;
thread_local uint32_t t_held = 0;

// The level test, then the thread's hold: a held line would have been written, so it is counted.
bool Passes(int32_t level) {
    if (!LogEnabled(level)) return false;
    if (!t_holding) return true;
    ++t_held;
    return false;
}

}  // namespace

bool LogEnabled(int32_t level) { return level <= g_gate.load(std::memory_order_relaxed); }

void LogHoldThread(bool hold) { t_holding = hold; }

uint32_t LogHeldLines() { return std::exchange(t_held, 0); }

int32_t LogOpen(const char* keyPath) { return LogOpenWith(keyPath, LogOverrides{}); }

int32_t LogOpenWith(const char* keyPath, const LogOverrides& overrides, LogOpenFailure* failure) {
    std::lock_guard<std::mutex> lock(g_openCloseMutex);
    CloseLocked();  // opened once per run; a second open starts afresh
    auto settings = diaglog::ApplyOverrides(diaglog::ReadLogSettings(keyPath), overrides);
    if (!settings) return LOGERR_NO_KEY;
    if (settings->level == -1) return 1;
    const platform::LocalTime today = platform::Now();
    auto name = diaglog::LogFileName(settings->app, today);
    int error = 0;
    if (!name || !File().Open(name->c_str(), settings->appendOption != 0, &error)) {
        if (failure) {
            char date[16];
            std::snprintf(date, sizeof date, "%04d%02d%02d.log", today.year, today.month, today.day);
            failure->path = name ? *name : settings->app + date;
            failure->error = name ? error : ENAMETOOLONG;
        }
        return LOGERR_OPEN_FILE;
    }
    g_gate.store(settings->level);
    LogWrite(LOG_NML, "%s", kStars);
    LogWrite(LOG_NML, "*... Start ...");
    return 1;
}

int32_t LogClose() {
    std::lock_guard<std::mutex> lock(g_openCloseMutex);
    CloseLocked();
    return 1;
}

int32_t LogWrite(int32_t level, const char* format, ...) {
    if (!Passes(level)) return 0;
    va_list args;
    va_start(args, format);
    int32_t result = WriteLineV(level, Layout::Plain, nullptr, nullptr, format, args);
    va_end(args);
    return result;
}

int32_t LogWriteSrc(int32_t level, const char* source, const char* format, ...) {
    if (!Passes(level)) return 0;
    va_list args;
    va_start(args, format);
    int32_t result = WriteLineV(level, Layout::Source, nullptr, source, format, args);
    va_end(args);
    return result;
}

int32_t LogWritePort(int32_t level, const char* port, const char* source, const char* format, ...) {
    if (!Passes(level)) return 0;
    va_list args;
    va_start(args, format);
    int32_t result = WriteLineV(level, Layout::Port, port, source, format, args);
    va_end(args);
    return result;
}

int32_t LogDump(int32_t level, const void* bytes, int32_t count) {
    if (!Passes(level)) return 0;
    count = DumpCount(bytes, count);
    char hex[kDumpVisibleBytes * 3 + 1];
    diaglog::HexDump(bytes, std::min(static_cast<size_t>(count), kDumpVisibleBytes), hex, sizeof hex);
    return WritePlain(level, "The %d bytes buffer content is: %s", count, hex);
}

int32_t LogDumpPort(int32_t level, const char* port, const char* source, const void* bytes, int32_t count) {
    if (!File().IsOpen()) return 0;
    if (!Passes(level)) return 1;  // the line would be filtered: skip the conversion
    count = DumpCount(bytes, count);
    char hex[kDumpVisibleBytes * 3 + 1];
    diaglog::HexDump(bytes, std::min(static_cast<size_t>(count), kDumpVisibleBytes), hex, sizeof hex);
    WritePlain(level, "%s\t%s\tThe %d bytes buffer content is: %s", port ? port : "", source ? source : "", count, hex);
    return 1;
}

int32_t LogSysError(int32_t errorNumber) {
    if (!File().IsOpen()) return 0;
    if (!Passes(LOG_ER)) return 1;
    std::string text = platform::SysErrorText(errorNumber);
    if (!text.empty()) WritePlain(LOG_ER, "The system error number [%d] --> %s", errorNumber, text.c_str());
    return 1;
}

int32_t LogSysErrorPort(const char* port, const char* source, int32_t errorNumber) {
    if (!File().IsOpen()) return 0;
    if (!Passes(LOG_ER)) return 1;
    std::string text = platform::SysErrorText(errorNumber);
    if (!text.empty()) {
        WritePlain(LOG_ER, "%s\t%s\tThe system error number [%d] --> %s", port ? port : "", source ? source : "",
                   errorNumber, text.c_str());
    }
    return 1;
}
