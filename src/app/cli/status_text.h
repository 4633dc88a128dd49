#pragma once
#include <cstdint>
#include <functional>
#include <string>

// Texts by string ID: the language library's lookup, or anything standing in for it.
using TextLookup = std::function<std::string(unsigned id)>;

// The line a status code prints: "[0x%03X] " and the text of its string ID (upper-case hex,
// at least three digits); a code without a string gets the prefix alone.
std::string StatusLineText(uint32_t statusCode, const TextLookup& text);
