// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>

#include "app/cli/cli_arguments.h"

// The tasks on the record store (--records-verify, --history, --records-export): each opens the
// store only to read it, so a running station goes on undisturbed. Returns the exit status: 0,
// 9 when the store cannot be read (or the export written), 10 when its chain is broken, 6
// without the language library.
int RunRecordsCommand(const CliArguments& args, std::FILE* out, std::FILE* err);
