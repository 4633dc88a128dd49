// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <functional>
#include <string>

namespace platform {

// AppendRecord's answer for a path that names something other than a regular file (a FIFO, a
// device, a folder): refused at once, before anything is written and without waiting on it.
constexpr int kRecordNotAFile = -1;

// Appends one record (one or more whole lines) to a file that several runs, in this process
// and in others, append to at once: under an exclusive lock on the file and in one write, so
// records never interleave or tear. header is written first when the file is new or empty.
// A record is appended whole or not at all: after a short write (a full disk, a file size
// limit) the part already written is taken back under the lock, so the next record never lands
// glued to half of this one. 0, kRecordNotAFile, or the system's error number.
int AppendRecord(const std::string& path, const std::string& header, const std::string& record);

// The longest first line AppendRecordFor reads; a longer one is handed over cut at this length.
constexpr size_t kRecordFirstLineMax = 4096;

// Makes what to append from what the file holds, under the lock: empty is true for a new or
// empty file, firstLine is the file's first line without its '\n' (a CR LF line keeps its CR, so
// that what is appended can end its lines as the file does). 0 with text set (empty
// text appends nothing), or an error of the caller's own: a negative number below
// kRecordNotAFile, which AppendRecordFor returns as it is, writing nothing.
using RecordMaker = std::function<int(bool empty, const std::string& firstLine, std::string& text)>;

// As AppendRecord, the text made under the lock by make: a record laid out as the file's own
// header says, header and record for a new file, or a refusal of a file that is not what it seems.
int AppendRecordFor(const std::string& path, const RecordMaker& make);

}  // namespace platform
