// SPDX-License-Identifier: Apache-2.0
#include "app/common/pack_advice.h"

namespace {

bool IsWindows(const platform::PathRules& rules) { return rules.drives; }

// A path in double quotes as the shell reads it back: cmd takes everything up to the next quote
// (a Windows path cannot hold one); a POSIX shell still expands $, ` and \ inside, so they are
// escaped.
std::string Quoted(const std::string& path, const platform::PathRules& rules) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (!IsWindows(rules) && (c == '"' || c == '\\' || c == '$' || c == '`')) quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

}  // namespace

std::string PackCommandFor(const std::string& programPath, const platform::PathRules& rules) {
    const bool windows = IsWindows(rules);
    const std::string exe = windows ? ".exe" : "";
    const std::string program = programPath.empty() ? "vexlor" + exe : programPath;
    const std::string folder = program.substr(0, platform::FolderPartLength(program, rules));
    return Quoted(platform::FolderPrefix(folder, rules) + "vexlor-pack" + exe, rules) + " --program " +
           Quoted(program, rules) + " --load FIRMWARE.bin --version VERSION --out " +
           Quoted("vexlor-VERSION" + exe, rules);
}
