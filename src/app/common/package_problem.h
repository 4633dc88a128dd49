// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// True for a package check result that means the program carries no firmware package at all
// (nothing at its end reads as a parameter block), as a program fresh from the build does;
// false for one that is there but damaged.
bool IsMissingPackage(int32_t checkResult);
