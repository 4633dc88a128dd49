// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// The two version texts the version check compares.

// The load's version: the two characters just before the first full stop of its version text.
// A start before the text's beginning is taken as the beginning (so a full stop at position 0
// or 1, or none at all, gives the first two characters); a shorter text gives what there is.
std::string NewVersionOf(std::string_view loadVersionText);

// The same two bytes for the user's eyes: widened to the whole UTF-8 characters they cut into,
// so a version text with a character of several bytes there never shows half of it.
std::string NewVersionShown(std::string_view loadVersionText);

// The handset's version: response bytes 6 and 7 as unsigned decimals, joined ("%d%d").
std::string OldVersionOf(uint8_t major, uint8_t minor);

// Equal without regard to letter case.
bool SameVersion(std::string_view newVersion, std::string_view oldVersion);
