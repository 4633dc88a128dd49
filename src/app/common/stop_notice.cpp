// SPDX-License-Identifier: Apache-2.0
#include "app/common/stop_notice.h"

#include <algorithm>
#include <cmath>

#include "app/common/format_text.h"
#include "engine/dl_operator.h"
#include "lang/string_ids.h"

namespace {

// 115200 baud, ten bits a byte: the slowest rate of the line's rotation.
constexpr double kNominalBytesPerSecond = 115200 / 10.0;

}  // namespace

std::optional<double> SecondsToBlockEnd(uint64_t bytesSent, uint64_t loadSize, double bytesPerSecond,
                                        double secondsIntoBlock) {
    if (bytesSent == 0 || bytesSent >= loadSize) return std::nullopt;
    const uint64_t block = std::min<uint64_t>(CDLOperator::BLOCK_SIZE, loadSize - bytesSent);
    const double rate = bytesPerSecond > 0 && std::isfinite(bytesPerSecond) ? bytesPerSecond : kNominalBytesPerSecond;
    const double written = secondsIntoBlock > 0 ? rate * secondsIntoBlock : 0;
    return std::max(0.0, static_cast<double>(block) - written) / rate;
}

std::string StoppingLine(std::optional<double> seconds, const TextLookup& text) {
    if (!text) return {};
    if (!seconds) return text(lang::IDS_STOPPING);
    // Never "about 0 s": the block's answer is still to come.
    const long long whole = std::max(1LL, static_cast<long long>(std::ceil(*seconds)));
    return FormatText(text(lang::IDS_STOPPING_BLOCK), std::to_string(whole));
}
