// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>

#include "package/dl_parameter.h"
#include "platform/read_only_file.h"

class CliSession;

// The start-up package check (parameter block, load CRC, program image) of the program file,
// on a thread of its own while this one takes the session's messages: progress gets each
// percent the check reaches (may be empty). A signal cannot cut the check short (it reads a local
// file, so it ends soon); it is remembered in interrupted instead. The check's result: >= 0 when
// the package is sound, its parameters then in parameters.
int32_t CheckPackage(CliSession& session, platform::ReadOnlyFile& program, CDLParameter& parameters,
                     const std::function<void(unsigned)>& progress, bool& interrupted);

// Tells a failed check on the session's error stream as every task does: the library's text,
// and for a damaged (not missing) package that the file must be copied again.
void TellPackageProblem(const CliSession& session, int32_t checkResult, const platform::ReadOnlyFile& program);
