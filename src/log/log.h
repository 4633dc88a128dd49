// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// The process-wide daily diagnostic log. Every layer writes to it; it is opened once at start-up
// (before other threads exist) and closed at exit. A filtered-out line costs one comparison.

enum LogLevel : int32_t {
    LOG_NML = 0,  // header and footer lines only
    LOG_ER = 1,   // failures
    LOG_WRN = 3,  // progress notes
    LOG_DBG = 5,  // step-by-step tracing and hex dumps
};

constexpr int32_t LOGERR_NO_KEY = static_cast<int32_t>(0xF0000001);     // settings key missing
constexpr int32_t LOGERR_OPEN_FILE = static_cast<int32_t>(0xF0000002);  // log file cannot be opened

#define VEXLOR_PRINTF(fmtIndex, firstArg) __attribute__((format(printf, fmtIndex, firstArg)))

// Reads "Level", "AppendOption" and "App" from keyPath ("SOFTWARE\\Vexlor") in the settings file
// and opens the day's file. 1, LOGERR_NO_KEY or LOGERR_OPEN_FILE. LogOpenWith (log_overrides.h)
// does the same with a level or folder given for one run.
int32_t LogOpen(const char* keyPath);
int32_t LogClose();

// 1 when written; 0 when filtered out or the log is not open.
int32_t LogWrite(int32_t level, const char* format, ...) VEXLOR_PRINTF(2, 3);
int32_t LogWriteSrc(int32_t level, const char* source, const char* format, ...) VEXLOR_PRINTF(3, 4);
int32_t LogWritePort(int32_t level, const char* port, const char* source, const char* format, ...) VEXLOR_PRINTF(4, 5);
int32_t LogDump(int32_t level, const void* bytes, int32_t count);
int32_t LogDumpPort(int32_t level, const char* port, const char* source, const void* bytes, int32_t count);
int32_t LogSysError(int32_t errorNumber);
int32_t LogSysErrorPort(const char* port, const char* source, int32_t errorNumber);

// True when a line at level would be written now: lets callers skip building costly arguments.
bool LogEnabled(int32_t level);

// Holds back the calling thread's lines while on: nothing it logs is written, only counted. For
// a loop that would write the same lines over and over while nothing changes (a port looked at
// for a handset for hours). LogHeldLines tells how many lines were held back since the last call
// (and restarts the count).
void LogHoldThread(bool hold);
uint32_t LogHeldLines();
