// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// U+FFFD, which stands in for bytes that are not UTF-8.
constexpr uint32_t kReplacementCharacter = 0xFFFD;

// The code point of the UTF-8 sequence at text[at], moving at past it. Bytes that are no whole,
// shortest sequence of a code point (a cut or overlong sequence, a surrogate, a stray
// continuation byte) give kReplacementCharacter with *valid false, and only one byte is taken.
uint32_t NextCodePoint(std::string_view text, size_t& at, bool* valid = nullptr);

// code as UTF-8, appended to out.
void AppendUtf8(std::string& out, uint32_t code);

// text with every byte that is not part of a valid UTF-8 sequence replaced by U+FFFD: what may be
// handed to a reader that demands UTF-8 (JSON).
std::string ValidUtf8(std::string_view text);

}  // namespace platform
