// SPDX-License-Identifier: Apache-2.0
#include "app/cli/settings_report.h"

#include "app/cli/cli_arguments.h"
#include "app/common/exit_status.h"
#include "log/log.h"
#include "log/log_overrides.h"
#include "platform/registry.h"
#include "platform/sys_error.h"

namespace {

constexpr const char* kLogKey = "SOFTWARE\\Vexlor";
// Enough to point at what is wrong; a file that is wrong throughout gets a count of the rest.
constexpr size_t kProblemsShown = 20;

}  // namespace

int ReportSettingsFile(std::FILE* err) {
    const platform::Registry::SettingsCheck check = platform::Registry::CheckSettingsFile();
    if (check.error != 0) {
        std::fprintf(err, "vexlor: cannot read the settings file %s: %s\n", check.path.c_str(),
                     platform::SysErrorPhrase(check.error).c_str());
        return kExitSettings;
    }
    if (!check.notSettings.empty()) {
        std::fprintf(err, "vexlor: %s is not a settings file: %s\n", check.path.c_str(), check.notSettings.c_str());
        return kExitSettings;
    }
    for (size_t i = 0; i < check.problems.size() && i < kProblemsShown; ++i) {
        std::fprintf(err, "vexlor: settings file %s: %s\n", check.path.c_str(), check.problems[i].c_str());
    }
    if (check.problems.size() > kProblemsShown) {
        std::fprintf(err, "vexlor: settings file %s: %zu more lines like these\n", check.path.c_str(),
                     check.problems.size() - kProblemsShown);
    }
    return kExitDone;
}

void OpenLogTellingFailure(const CliArguments& args, std::FILE* err) {
    LogOverrides overrides;
    overrides.level = args.logLevel;
    overrides.folder = args.logFolder;
    LogOpenFailure failure;
    if (LogOpenWith(kLogKey, overrides, &failure) != LOGERR_OPEN_FILE) return;
    std::fprintf(err, "vexlor: cannot write the log file %s: %s; going on without a log\n", failure.path.c_str(),
                 platform::SysErrorPhrase(failure.error).c_str());
}
