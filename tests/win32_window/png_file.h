// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB pixels (rows top to bottom, 3 bytes a pixel) as a PNG file whose zlib stream
// holds stored blocks only: no compressor needed, any viewer reads it. False on a write error.
bool WriteRgbPng(const std::string& path, uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);

// The checksums PNG and zlib use, for the writer and its test.
uint32_t Crc32(const uint8_t* data, size_t length, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t length);
