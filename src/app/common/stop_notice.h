// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "app/common/status_lines.h"

// What a stop asked now waits for. The engine looks at a stop between its steps: in the block
// phase only once the block being written is through (128 KiB, some 11 s at 115200 baud), so
// the technician is told at once how long that is.

// Seconds until the block being written is through. bytesSent: the load bytes the handset has
// confirmed (the engine counts them at each block's end); bytesPerSecond: the rate measured so
// far (0 while unknown: the line's slowest rate stands in); secondsIntoBlock: the time since
// bytesSent last grew (negative: unknown). None outside the block phase (before the first
// packet, or once every byte is sent).
std::optional<double> SecondsToBlockEnd(uint64_t bytesSent, uint64_t loadSize, double bytesPerSecond,
                                        double secondsIntoBlock);

// "Stopping after the current block (about 7 s)..." in the block phase, else the plain
// "Stopping the download...".
std::string StoppingLine(std::optional<double> seconds, const TextLookup& text);
