// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <string_view>

namespace platform {

// How the bytes of a settings file (.reg) are written. regedit exports UTF-16 little-endian with
// a byte order mark; other tools write UTF-8, with or without a mark, and some write UTF-16
// without its mark.
enum class SettingsEncoding { kUtf8, kUtf8Bom, kUtf16Le, kUtf16Be, kUtf16LeNoBom, kUtf16BeNoBom };

// The encoding of bytes: a byte order mark says it; without one, a text whose first two
// characters each have a zero byte beside them is UTF-16 (a settings file begins with ASCII:
// its header, a key line or a comment); anything else is taken for UTF-8.
SettingsEncoding DetectSettingsEncoding(std::string_view bytes);

// The text of bytes as UTF-8, without its byte order mark. UTF-16: an unpaired surrogate becomes
// U+FFFD and a last odd byte is dropped; a NUL unit stays a NUL byte. UTF-8 is passed unchanged.
std::string SettingsTextToUtf8(std::string_view bytes, SettingsEncoding encoding);

// UTF-8 text written in encoding, with its byte order mark where encoding has one: how a tool
// that edits the file keeps it as it found it. Bytes that are not UTF-8 become U+FFFD in UTF-16.
std::string SettingsTextFromUtf8(std::string_view text, SettingsEncoding encoding);

// Why bytes are no settings file at all, in a phrase ("it holds bytes no text has: 0x00 on
// line 3"); "" for a text. A text holds valid UTF-8 (after decoding) and no control character
// but TAB, CR and LF.
std::string WhyNotSettingsText(std::string_view bytes);

}  // namespace platform
