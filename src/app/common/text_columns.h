// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>
#include <string_view>

// Texts laid out in a terminal's columns, whatever the language: an East Asian wide character
// takes two columns, and a library text may hold a list of words ("a|b|c") read by position.

// Display columns of a code point.
int CodePointColumns(char32_t c);
// Display columns of a UTF-8 text.
size_t TextColumns(std::string_view text);
// text padded with spaces to width columns, on the right (or, alignRight, on the left); a text
// as wide or wider is returned as it is.
std::string PadColumns(const std::string& text, size_t width, bool alignRight = false);
// Two sentences in one line: a space between them, none after a wide (East Asian) character,
// whose full stop needs none; either may be empty.
std::string JoinSentences(const std::string& first, const std::string& second);
// The index-th word of a "|"-separated list; "" when the list is shorter.
std::string ListWord(std::string_view list, size_t index);
