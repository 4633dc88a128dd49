// SPDX-License-Identifier: Apache-2.0
#pragma once
// The form every language library shares: a table of (ID, UTF-8 text) pairs and the one
// exported lookup over it.

#include <cstddef>

#include "lang/string_ids.h"

namespace lang {

struct StringEntry {
    unsigned id;
    const char* text;
};

template <size_t N>
constexpr const char* FindText(const StringEntry (&table)[N], unsigned id) {
    for (const StringEntry& entry : table) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}

}  // namespace lang

// A test that compiles the tables themselves defines it first, to keep the lookup its own.
#ifndef VEXLOR_RES_EXPORT
#ifdef _WIN32
#define VEXLOR_RES_EXPORT extern "C" __declspec(dllexport)
#else
#define VEXLOR_RES_EXPORT extern "C" __attribute__((visibility("default")))
#endif
#endif
