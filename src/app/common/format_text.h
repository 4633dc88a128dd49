// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

// Library texts are printf-style formats with one integer or up to three text arguments. They
// are filled here, not by printf: only a plain "%s" (text) or "%d" (integer) takes an argument
// and "%%" gives "%"; every other '%' is kept as written, so a damaged library text cannot read
// an argument that was never passed.

// The conversions of text in order, each as written ("%s", "%-5d"); "%%" is not one.
std::vector<std::string> FormatConversions(std::string_view text);

// format with its first "%s" replaced by arg.
std::string FormatText(std::string_view format, std::string_view arg);
// format with its "%s" conversions replaced by args in order, in one pass (an argument that holds
// "%s" itself stays as it is); conversions beyond the arguments are kept as written.
std::string FormatTexts(std::string_view format, std::initializer_list<std::string_view> args);
// format with its first "%d" replaced by value in decimal.
std::string FormatNumber(std::string_view format, long long value);
