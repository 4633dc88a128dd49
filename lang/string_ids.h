// SPDX-License-Identifier: Apache-2.0
#pragma once
// The numeric string IDs of the language resource libraries, and how each text is used.
// Every library holds one text per ID below; the window, the dialogs and the headless front
// end look their texts up by these numbers. A text used as a printf format must carry exactly
// the conversions its use names (a literal percent sign is written "%%").

#include <cstddef>

namespace lang {

enum StringId : unsigned {
    IDS_TITLE = 1,           // window title and About text; %s: model code
    IDS_STOP = 3,            // caption of Stop
    IDS_NO_PORT = 4,         // the only combo item while no port is known
    IDS_PROGRESS = 5,        // progress line of a run; %d: percentage
    IDS_ABOUT = 24,          // About menu item and About caption; %s: model code
    IDS_PORT_PREFIX = 27,    // put before the number of every port in the combo
    IDS_DIAG_READY = 28,     // status 0x060
    IDS_INSTRUCTION_1 = 37,  // instruction lines 1 to 4; %s: model code
    IDS_INSTRUCTION_2 = 38,
    IDS_INSTRUCTION_3 = 39,
    IDS_INSTRUCTION_4 = 40,
    IDS_INSTRUCTION_6 = 44,  // instruction lines 6 to 13; %s: model code
    IDS_INSTRUCTION_7 = 45,
    IDS_INSTRUCTION_8 = 46,
    IDS_INSTRUCTION_9 = 47,
    IDS_INSTRUCTION_10 = 48,
    IDS_INSTRUCTION_11 = 49,
    IDS_INSTRUCTION_12 = 50,
    IDS_INSTRUCTION_13 = 51,
    IDS_DONE = 55,            // status 0x065
    IDS_START = 57,           // caption of Start
    IDS_BACKUP = 75,          // caption of the hidden button 1003
    IDS_RESTORE = 76,         // caption of the hidden button 1004
    IDS_INSTRUCTION_5 = 84,   // instruction line 5 (not formatted)
    IDS_CHECK_PROGRESS = 85,  // data checking dialog; %d: percentage
    IDS_CHECK_FAILED = 86,    // the package check failed
    IDS_ERR_VERSION = 87,     // status 0xF60
    IDS_ERR_PORT = 88,        // status 0xF01
    IDS_ERR_MODE = 89,        // status 0xF0C and 0xF15
    IDS_ERR_WRITE = 90,       // status 0xF62, 0xF63 and 0xF64
    IDS_STARTED = 91,         // status 0x001
    IDS_ERR_ACC = 92,         // status 0xF66
    IDS_STOP_QUESTION = 93,   // asked before stopping
    IDS_STOPPED = 94,         // line after a confirmed stop
    IDS_CLOSE_QUESTION = 95,  // asked when the window is closed during a download

    // The line under a status line that says what the status line's text does not: a library
    // without these texts leaves the line out.
    IDS_ERR_NOT_DIAG = 96,          // under 0xF15: the handset is already in download mode
    IDS_ERR_FINAL = 97,             // under 0xF63: the end of the download was refused
    IDS_ERR_NAND = 98,              // under 0xF64: the write to NAND failed
    IDS_ERR_VERSION_MISMATCH = 99,  // under 0xF60; %s: the handset's version, %s: the load's

    // The line under a failure status that says why the port could not be used. The first %s
    // is the port ("COM3 (/dev/ttyUSB0)"); a second %s is the system's error text, or for a
    // port in use the program that holds it.
    IDS_PORT_ABSENT = 100,          // the device never appeared
    IDS_PORT_NO_ACCESS = 101,       // no permission; %s %s
    IDS_PORT_IN_USE = 102,          // held by another program; %s %s
    IDS_PORT_IN_USE_UNKNOWN = 103,  // held by a program the system does not name
    IDS_PORT_NOT_SERIAL = 104,      // not a terminal; %s %s
    IDS_PORT_NO_ANSWER = 105,       // the port opened, but no handset answered
    IDS_PORT_FAILED = 106,          // could not be opened for another reason; %s %s

    IDS_NO_LOAD = 107,  // under IDS_CHECK_FAILED: the program carries no firmware package
    IDS_SUMMARY = 108,  // end of a headless run; %s bytes, %s seconds, %s average rate

    // While a run waits for a port another program holds; %s: the port, %s: the holder.
    IDS_PORT_BUSY_WAITING = 109,
    IDS_PORT_BUSY_WAITING_UNKNOWN = 110,  // the system does not name the holder; %s: the port
    IDS_PORT_GONE = 111,                  // the line under a failure: the port went away during the run; %s: the port

    // The bench window (many ports at once). Its Start, Stop and questions are the main
    // window's texts.
    IDS_BENCH_TITLE = 112,     // window title; %s: model code
    IDS_BENCH_STATION = 113,   // the Station check box
    IDS_BENCH_REPORT = 114,    // label before the report file
    IDS_BENCH_BROWSE = 115,    // the button that chooses the report file
    IDS_BENCH_COL_PORT = 116,  // column headings, 116 to 124
    IDS_BENCH_COL_DEVICE = 117,
    IDS_BENCH_COL_STATE = 118,
    IDS_BENCH_COL_PROGRESS = 119,
    IDS_BENCH_COL_RATE = 120,
    IDS_BENCH_COL_LEFT = 121,
    IDS_BENCH_COL_DONE = 122,
    IDS_BENCH_COL_FAILED = 123,
    IDS_BENCH_COL_RESULT = 124,
    IDS_BENCH_IDLE = 125,  // a port's state, 125 to 131
    IDS_BENCH_WAITING = 126,
    IDS_BENCH_FLASHING = 127,
    IDS_BENCH_CONFIRMING = 128,
    IDS_BENCH_REMOVE = 129,
    IDS_BENCH_DONE = 130,
    IDS_BENCH_FAILED = 131,
    IDS_BENCH_TOTALS = 132,             // the totals line; %s done, %s failed, %s handsets per hour
    IDS_BENCH_NONE_CHECKED = 133,       // Start with no port checked
    IDS_BENCH_PORT_HELD = 134,          // a port another run holds; %s: the port, %s: the holder
    IDS_BENCH_PORT_HELD_UNKNOWN = 135,  // the same, the holder not known; %s: the port
    IDS_BENCH_REPORT_FAILED = 136,      // %s: the report file, %s: the system's error text
    IDS_BENCH_UNCONFIRMED = 137,        // result of a done handset whose restart was not seen

    IDS_BENCH_REPORT_NOT_OURS = 150,  // the report file's first line is not a report's header; %s: the file
    // A handset's report row could not be written, told on its port's row and under the table
    // at once; %s: the port, %s: the report file, %s: the system's error text.
    IDS_BENCH_ROW_LOST = 240,
    // The headless bench and station views (several ports; a station's rows and lines), the
    // stop's notice and the advice after a stop or a version mismatch. A text of words "a|b|c"
    // is a list read by position: every library keeps the count and the order.
    IDS_CLI_CHECKING = 200,  // the label before the package check's bar
    IDS_STOPPING = 201,      // a stop was asked outside the blocks
    IDS_RUN_LOOKING = 202,   // a run's phase, 202 to 206
    IDS_RUN_VERSION = 203,
    IDS_RUN_SWITCHING = 204,
    IDS_RUN_DOWNLOADING = 205,
    IDS_RUN_COMMITTING = 206,
    IDS_REFUSED = 207,                     // %s: why the port was not run
    IDS_CONFIRMING_WAIT = 208,             // %s: seconds
    IDS_RESTART_CONFIRMED = 209,           // %s: the mode
    IDS_RESTART_CONFIRMED_PLATFORM = 210,  // %s: the mode, %s: the platform
    IDS_MODE_NAMES = 211,                  // list: AT data, diagnostic, download mode
    IDS_RESTART_NOT_CONFIRMED = 212,       // the reason of a done handset that did not answer again
    IDS_PHASE_WAITING = 213,               // a station port's phase, 213 to 219
    IDS_PHASE_CONFIRMING = 214,
    IDS_PHASE_REMOVE_DONE = 215,
    IDS_PHASE_REMOVE_UNCONFIRMED = 216,
    IDS_PHASE_REMOVE_FAILED = 217,
    IDS_PHASE_STOPPED = 218,
    IDS_PHASE_ENDED = 219,
    IDS_HANDSET_LINE = 220,     // %s: the handset's number, %s: what it came to
    IDS_RESULT_WORDS = 221,     // list: running, done, failed, empty, stopped, refused
    IDS_SUMMARY_COLUMNS = 222,  // list: the summary table's headings
    IDS_STATION_COLUMNS = 223,  // list: the station summary's headings
    IDS_BENCH_LINE = 224,       // %s handsets, %s time, %s the counts
    IDS_BENCH_LINE_ONE = 225,   // the same for one handset; %s time, %s the counts
    IDS_COUNT_DONE = 226,       // %s: a count, 226 to 230
    IDS_COUNT_UNCONFIRMED = 227,
    IDS_COUNT_FAILED = 228,
    IDS_COUNT_STOPPED = 229,
    IDS_COUNT_PER_HOUR = 230,
    IDS_PORTS_COUNT = 231,     // the compact view's count line; %s: ports
    IDS_CELL_WORDS = 232,      // list: the compact view's short words
    IDS_TIME_LEFT = 233,       // %s: the time left
    IDS_PORT_LEFT_LIST = 234,  // %s: the port
    IDS_TRYING_AGAIN = 235,    // after why a station's port cannot be opened
    IDS_PORT_TWICE = 236,      // %s: the port
    IDS_STOPPING_BLOCK = 237,  // %s: seconds until the block being written is done
    IDS_STOPPED_ADVICE = 238,  // after the stop's line: what to do with the handset
    IDS_VERSION_ADVICE = 239,  // under a version mismatch

    // A program that carries no firmware load yet (not a damaged one), and under it the command
    // that packs one; %s: that command.
    IDS_NO_LOAD_YET = 340,
    IDS_NO_LOAD_PACK = 341,
    // IDS_PORT_NO_ACCESS on Windows, which has no dialout group; %s: the port, %s: the system's text.
    IDS_PORT_NO_ACCESS_WINDOWS = 342,
    IDS_ESN_LINE = 300,         // %s: the handset's ESN (8 hex digits)
    IDS_OTHER_HANDSET = 301,    // %s: the ESN of the handset that answered instead
    IDS_CONFIRM_STOPPED = 302,  // a stop came while a done handset was waited for
    IDS_ALREADY_FLASHED = 303,  // %s: ESN, handset number, time (HH:MM)
    IDS_CONFIRMING_LEFT = 304,  // %s: seconds left of the confirmation
    IDS_ESN_COLUMN = 305,       // the bench window's ESN column header
    // The production record store.
    IDS_RECORDS_CANNOT_OPEN = 400,    // %s: the record store; %s: why
    IDS_RECORDS_NOT_OURS = 401,       // %s: a file that is no Vexlor record store
    IDS_RECORDS_READ_ONLY = 402,      // %s: the record store; %s: why
    IDS_RECORDS_FULL = 403,           // %s: the record store; %s: why
    IDS_RECORDS_BUSY = 404,           // %s: the record store; %s: why
    IDS_RECORDS_DAMAGED = 405,        // %s: the record store; %s: why
    IDS_RECORDS_LOST = 406,           // %s: the port, the record store, why
    IDS_RECORDS_WHOLE = 407,          // %s: number of records, the head hash
    IDS_RECORDS_CHANGED = 408,        // %s: record number, record ID
    IDS_RECORDS_REMOVED = 409,        // %s: record number, the ID of the record after it
    IDS_RECORDS_INSERTED = 410,       // %s: record number, record ID
    IDS_RECORDS_BROKEN = 411,         // %s: record number, record ID
    IDS_RECORDS_EXPORTED = 412,       // %s: number of records, the file
    IDS_RECORDS_EXPORT_FAILED = 413,  // %s: the file; %s: why
    IDS_RECORDS_NO_STORE = 414,       // %s: where the record store would be
    IDS_BENCH_CHECK_ALL = 470,        // the button that checks every port
    IDS_BENCH_SILENT = 471,           // the check box that silences the sounds
    IDS_BENCH_CONFIRM_TIME = 472,     // label before the confirmation's time-out in seconds
    IDS_BENCH_REMOVAL_TIME = 473,     // label before the removal time in seconds
    IDS_BENCH_TABLE_VIEW = 474,       // the check box that shows the table instead of the tiles
    IDS_BENCH_COL_HANDSET = 475,      // column heading: the handset's number on its port
    IDS_BENCH_SINCE = 476,            // after the station line; %s: the time of Start
    IDS_BENCH_HELD_BY = 477,          // a port another program holds; %s: the holder
    IDS_BENCH_HELD = 478,             // a port's state: another program holds it
    IDS_BENCH_TILE_REMOVE = 479,      // a tile's action after a done handset
    IDS_BENCH_TILE_SWITCH_OFF = 480,  // a tile's action after a failed handset
    IDS_BENCH_TILE_COUNTS = 481,      // a tile's counts; %s done, %s failed
    IDS_BENCH_TILE_LEFT = 482,        // a tile's time left; %s: m:ss
    IDS_BENCH_REPORT_KEPT = 483,      // Start while the report field holds a refused file; %s: the file
    IDS_BENCH_SETTINGS_LOST = 484,    // the window's settings not saved; %s the file, %s the system's words
    IDS_BENCH_TIME_BAD = 485,         // a time that is no whole number of seconds in range; %s: the highest
    IDS_BENCH_HANDSET_NO = 486,       // a tile's handset number; %s: the number
    IDS_BENCH_DETAILS = 487,          // the details pane's heading

    // Delivery of the stored records to the factory's broker. The broker is named as its URL
    // without any password ("mqtts://bench7@broker:8883/factory").
    IDS_PUBLISH_SENT = 440,         // %s: how many records were sent, %s: the broker
    IDS_RECORDS_WAITING = 441,      // %s: how many records wait for the broker (status lines)
    IDS_PUBLISH_UNREACHABLE = 442,  // %s: the broker, %s: why
    IDS_PUBLISH_LOGIN = 443,        // %s: the broker, %s: the broker's answer
    IDS_PUBLISH_TLS = 444,          // %s: the broker, %s: the TLS library's text
    IDS_PUBLISH_CA_FILE = 445,      // %s: the CA file and why it cannot be read
    IDS_PUBLISH_LOST = 446,         // %s: the broker, %s: why
    IDS_PUBLISH_STORE = 447,        // %s: why the store could not mark a record delivered
    IDS_PUBLISH_UNAVAILABLE = 448,  // this build has no MQTT client
    IDS_PUBLISH_KEPT = 449,         // after a failure; %s: how many records still wait
};

// What a text is formatted with.
enum class FormatArg { None, Text, Integer, Texts2, Texts3 };

struct StringUse {
    unsigned id;
    FormatArg arg;
};

// Every ID the libraries must hold, with its format argument.
inline constexpr StringUse kStringUses[] = {
    {IDS_TITLE, FormatArg::Text},
    {IDS_STOP, FormatArg::None},
    {IDS_NO_PORT, FormatArg::None},
    {IDS_PROGRESS, FormatArg::Integer},
    {IDS_ABOUT, FormatArg::Text},
    {IDS_PORT_PREFIX, FormatArg::None},
    {IDS_DIAG_READY, FormatArg::None},
    {IDS_INSTRUCTION_1, FormatArg::Text},
    {IDS_INSTRUCTION_2, FormatArg::Text},
    {IDS_INSTRUCTION_3, FormatArg::Text},
    {IDS_INSTRUCTION_4, FormatArg::Text},
    {IDS_INSTRUCTION_6, FormatArg::Text},
    {IDS_INSTRUCTION_7, FormatArg::Text},
    {IDS_INSTRUCTION_8, FormatArg::Text},
    {IDS_INSTRUCTION_9, FormatArg::Text},
    {IDS_INSTRUCTION_10, FormatArg::Text},
    {IDS_INSTRUCTION_11, FormatArg::Text},
    {IDS_INSTRUCTION_12, FormatArg::Text},
    {IDS_INSTRUCTION_13, FormatArg::Text},
    {IDS_DONE, FormatArg::None},
    {IDS_START, FormatArg::None},
    {IDS_BACKUP, FormatArg::None},
    {IDS_RESTORE, FormatArg::None},
    {IDS_INSTRUCTION_5, FormatArg::None},
    {IDS_CHECK_PROGRESS, FormatArg::Integer},
    {IDS_CHECK_FAILED, FormatArg::None},
    {IDS_ERR_VERSION, FormatArg::None},
    {IDS_ERR_PORT, FormatArg::None},
    {IDS_ERR_MODE, FormatArg::None},
    {IDS_ERR_WRITE, FormatArg::None},
    {IDS_STARTED, FormatArg::None},
    {IDS_ERR_ACC, FormatArg::None},
    {IDS_STOP_QUESTION, FormatArg::None},
    {IDS_STOPPED, FormatArg::None},
    {IDS_CLOSE_QUESTION, FormatArg::None},
    {IDS_ERR_NOT_DIAG, FormatArg::None},
    {IDS_ERR_FINAL, FormatArg::None},
    {IDS_ERR_NAND, FormatArg::None},
    {IDS_ERR_VERSION_MISMATCH, FormatArg::Texts2},
    {IDS_PORT_ABSENT, FormatArg::Text},
    {IDS_PORT_NO_ACCESS, FormatArg::Texts2},
    {IDS_PORT_IN_USE, FormatArg::Texts2},
    {IDS_PORT_IN_USE_UNKNOWN, FormatArg::Text},
    {IDS_PORT_NOT_SERIAL, FormatArg::Texts2},
    {IDS_PORT_NO_ANSWER, FormatArg::Text},
    {IDS_PORT_FAILED, FormatArg::Texts2},
    {IDS_NO_LOAD, FormatArg::None},
    {IDS_SUMMARY, FormatArg::Texts3},
    {IDS_PORT_BUSY_WAITING, FormatArg::Texts2},
    {IDS_PORT_BUSY_WAITING_UNKNOWN, FormatArg::Text},
    {IDS_PORT_GONE, FormatArg::Text},
    {IDS_BENCH_TITLE, FormatArg::Text},
    {IDS_BENCH_STATION, FormatArg::None},
    {IDS_BENCH_REPORT, FormatArg::None},
    {IDS_BENCH_BROWSE, FormatArg::None},
    {IDS_BENCH_COL_PORT, FormatArg::None},
    {IDS_BENCH_COL_DEVICE, FormatArg::None},
    {IDS_BENCH_COL_STATE, FormatArg::None},
    {IDS_BENCH_COL_PROGRESS, FormatArg::None},
    {IDS_BENCH_COL_RATE, FormatArg::None},
    {IDS_BENCH_COL_LEFT, FormatArg::None},
    {IDS_BENCH_COL_DONE, FormatArg::None},
    {IDS_BENCH_COL_FAILED, FormatArg::None},
    {IDS_BENCH_COL_RESULT, FormatArg::None},
    {IDS_BENCH_IDLE, FormatArg::None},
    {IDS_BENCH_WAITING, FormatArg::None},
    {IDS_BENCH_FLASHING, FormatArg::None},
    {IDS_BENCH_CONFIRMING, FormatArg::None},
    {IDS_BENCH_REMOVE, FormatArg::None},
    {IDS_BENCH_DONE, FormatArg::None},
    {IDS_BENCH_FAILED, FormatArg::None},
    {IDS_BENCH_TOTALS, FormatArg::Texts3},
    {IDS_BENCH_NONE_CHECKED, FormatArg::None},
    {IDS_BENCH_PORT_HELD, FormatArg::Texts2},
    {IDS_BENCH_PORT_HELD_UNKNOWN, FormatArg::Text},
    {IDS_BENCH_REPORT_FAILED, FormatArg::Texts2},
    {IDS_BENCH_UNCONFIRMED, FormatArg::None},
    {IDS_BENCH_REPORT_NOT_OURS, FormatArg::Text},
    {IDS_BENCH_ROW_LOST, FormatArg::Texts3},
    {IDS_CLI_CHECKING, FormatArg::None},
    {IDS_STOPPING, FormatArg::None},
    {IDS_RUN_LOOKING, FormatArg::None},
    {IDS_RUN_VERSION, FormatArg::None},
    {IDS_RUN_SWITCHING, FormatArg::None},
    {IDS_RUN_DOWNLOADING, FormatArg::None},
    {IDS_RUN_COMMITTING, FormatArg::None},
    {IDS_REFUSED, FormatArg::Text},
    {IDS_CONFIRMING_WAIT, FormatArg::Text},
    {IDS_RESTART_CONFIRMED, FormatArg::Text},
    {IDS_RESTART_CONFIRMED_PLATFORM, FormatArg::Texts2},
    {IDS_MODE_NAMES, FormatArg::None},
    {IDS_RESTART_NOT_CONFIRMED, FormatArg::None},
    {IDS_PHASE_WAITING, FormatArg::None},
    {IDS_PHASE_CONFIRMING, FormatArg::None},
    {IDS_PHASE_REMOVE_DONE, FormatArg::None},
    {IDS_PHASE_REMOVE_UNCONFIRMED, FormatArg::None},
    {IDS_PHASE_REMOVE_FAILED, FormatArg::None},
    {IDS_PHASE_STOPPED, FormatArg::None},
    {IDS_PHASE_ENDED, FormatArg::None},
    {IDS_HANDSET_LINE, FormatArg::Texts2},
    {IDS_RESULT_WORDS, FormatArg::None},
    {IDS_SUMMARY_COLUMNS, FormatArg::None},
    {IDS_STATION_COLUMNS, FormatArg::None},
    {IDS_BENCH_LINE, FormatArg::Texts3},
    {IDS_BENCH_LINE_ONE, FormatArg::Texts2},
    {IDS_COUNT_DONE, FormatArg::Text},
    {IDS_COUNT_UNCONFIRMED, FormatArg::Text},
    {IDS_COUNT_FAILED, FormatArg::Text},
    {IDS_COUNT_STOPPED, FormatArg::Text},
    {IDS_COUNT_PER_HOUR, FormatArg::Text},
    {IDS_PORTS_COUNT, FormatArg::Text},
    {IDS_CELL_WORDS, FormatArg::None},
    {IDS_TIME_LEFT, FormatArg::Text},
    {IDS_PORT_LEFT_LIST, FormatArg::Text},
    {IDS_TRYING_AGAIN, FormatArg::None},
    {IDS_PORT_TWICE, FormatArg::Text},
    {IDS_STOPPING_BLOCK, FormatArg::Text},
    {IDS_STOPPED_ADVICE, FormatArg::None},
    {IDS_VERSION_ADVICE, FormatArg::None},
    {IDS_NO_LOAD_YET, FormatArg::None},
    {IDS_NO_LOAD_PACK, FormatArg::Text},
    {IDS_PORT_NO_ACCESS_WINDOWS, FormatArg::Texts2},
    {IDS_ESN_LINE, FormatArg::Text},
    {IDS_OTHER_HANDSET, FormatArg::Text},
    {IDS_CONFIRM_STOPPED, FormatArg::None},
    {IDS_ALREADY_FLASHED, FormatArg::Texts3},
    {IDS_CONFIRMING_LEFT, FormatArg::Text},
    {IDS_ESN_COLUMN, FormatArg::None},
    {IDS_RECORDS_CANNOT_OPEN, FormatArg::Texts2},
    {IDS_RECORDS_NOT_OURS, FormatArg::Text},
    {IDS_RECORDS_READ_ONLY, FormatArg::Texts2},
    {IDS_RECORDS_FULL, FormatArg::Texts2},
    {IDS_RECORDS_BUSY, FormatArg::Texts2},
    {IDS_RECORDS_DAMAGED, FormatArg::Texts2},
    {IDS_RECORDS_LOST, FormatArg::Texts3},
    {IDS_RECORDS_WHOLE, FormatArg::Texts2},
    {IDS_RECORDS_CHANGED, FormatArg::Texts2},
    {IDS_RECORDS_REMOVED, FormatArg::Texts2},
    {IDS_RECORDS_INSERTED, FormatArg::Texts2},
    {IDS_RECORDS_BROKEN, FormatArg::Texts2},
    {IDS_RECORDS_EXPORTED, FormatArg::Texts2},
    {IDS_RECORDS_EXPORT_FAILED, FormatArg::Texts2},
    {IDS_RECORDS_NO_STORE, FormatArg::Text},
    {IDS_BENCH_CHECK_ALL, FormatArg::None},
    {IDS_BENCH_SILENT, FormatArg::None},
    {IDS_BENCH_CONFIRM_TIME, FormatArg::None},
    {IDS_BENCH_REMOVAL_TIME, FormatArg::None},
    {IDS_BENCH_TABLE_VIEW, FormatArg::None},
    {IDS_BENCH_COL_HANDSET, FormatArg::None},
    {IDS_BENCH_SINCE, FormatArg::Text},
    {IDS_BENCH_HELD_BY, FormatArg::Text},
    {IDS_BENCH_HELD, FormatArg::None},
    {IDS_BENCH_TILE_REMOVE, FormatArg::None},
    {IDS_BENCH_TILE_SWITCH_OFF, FormatArg::None},
    {IDS_BENCH_TILE_COUNTS, FormatArg::Texts2},
    {IDS_BENCH_TILE_LEFT, FormatArg::Text},
    {IDS_BENCH_REPORT_KEPT, FormatArg::Text},
    {IDS_BENCH_SETTINGS_LOST, FormatArg::Texts2},
    {IDS_BENCH_TIME_BAD, FormatArg::Text},
    {IDS_BENCH_HANDSET_NO, FormatArg::Text},
    {IDS_BENCH_DETAILS, FormatArg::None},
    {IDS_PUBLISH_SENT, FormatArg::Texts2},
    {IDS_RECORDS_WAITING, FormatArg::Text},
    {IDS_PUBLISH_UNREACHABLE, FormatArg::Texts2},
    {IDS_PUBLISH_LOGIN, FormatArg::Texts2},
    {IDS_PUBLISH_TLS, FormatArg::Texts2},
    {IDS_PUBLISH_CA_FILE, FormatArg::Text},
    {IDS_PUBLISH_LOST, FormatArg::Texts2},
    {IDS_PUBLISH_STORE, FormatArg::Text},
    {IDS_PUBLISH_UNAVAILABLE, FormatArg::None},
    {IDS_PUBLISH_KEPT, FormatArg::Text},
};

// The texts that are lists of words ("a|b|c"), with the count of words each holds in every
// language: the program reads them by position.
struct WordList {
    unsigned id;
    size_t words;
};
inline constexpr WordList kWordLists[] = {
    {IDS_MODE_NAMES, 3}, {IDS_RESULT_WORDS, 6}, {IDS_SUMMARY_COLUMNS, 5}, {IDS_STATION_COLUMNS, 6}, {IDS_CELL_WORDS, 9},
};

// The instruction lines in the order the window lists them (13 in all).
inline constexpr unsigned kInstructionLines[] = {
    IDS_INSTRUCTION_1,  IDS_INSTRUCTION_2,  IDS_INSTRUCTION_3,  IDS_INSTRUCTION_4, IDS_INSTRUCTION_5,
    IDS_INSTRUCTION_6,  IDS_INSTRUCTION_7,  IDS_INSTRUCTION_8,  IDS_INSTRUCTION_9, IDS_INSTRUCTION_10,
    IDS_INSTRUCTION_11, IDS_INSTRUCTION_12, IDS_INSTRUCTION_13,
};

// The handset model that several texts are formatted with.
inline constexpr const char* kModelCode = "V26";

// The one function each library exports: the UTF-8 text of a string ID, or null.
inline constexpr const char* kLookupSymbol = "VexlorResString";
using LookupFunction = const char* (*)(unsigned id);

}  // namespace lang
