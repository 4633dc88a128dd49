// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

#include "platform/read_only_file.h"

// True for a package check result that means the program carries no firmware package at all
// (nothing at its end reads as a parameter block), as a program fresh from the build does;
// false for one that is there but damaged.
bool IsMissingPackage(int32_t checkResult);

// The same, told apart from a copy cut short: a program carries no package when the check found
// none and the file ends exactly where its program image ends (package/image_length.h). A file
// that ends anywhere else had a package and lost part of it: damaged ("copy it again").
bool CarriesNoPackage(int32_t checkResult, const platform::ReadOnlyFile& program);
