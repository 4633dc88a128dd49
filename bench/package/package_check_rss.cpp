// SPDX-License-Identifier: Apache-2.0
// Peak memory of the start-up check above the process's baseline, for several load sizes:
// each size is built by one child process and checked by a fresh one, which compares its peak
// resident set (ru_maxrss) before and after the check. The load is never held whole, so the
// figure should not grow with the load.
//
// Usage: package_check_rss [chunks ...]   (default: 6171 24684)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "package/dl_parameter.h"
#include "package/load_merger.h"
#include "package_bench_file.h"
#include "platform/read_only_file.h"

namespace {

long PeakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs body in a child process; its exit status.
template <typename Body>
int InChild(Body body) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        const int status = body();
        std::fflush(stdout);  // _exit does not flush
        _exit(status);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<uint32_t> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 10)));
    if (counts.empty()) counts = {6171, 24684};

    char dir[] = "/tmp/vexlor-pkg-rss-XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const std::string path = std::string(dir) + "/program";
    int failures = 0;
    for (uint32_t chunks : counts) {
        if (InChild([&] {
                BuildPackageBenchFile(path, chunks, 2 << 20);
                return 0;
            }) != 0) {
            std::printf("%u chunks: could not build the package\n", chunks);
            ++failures;
            continue;
        }
        failures += InChild([&] {
            platform::ReadOnlyFile file;
            if (!file.Open(path)) return 1;
            const long before = PeakRssKiB();
            CDLParameter parameters;
            const bool ok = parameters.ReadParameterFromFile(file) == 1 &&
                            CLoadMerger::CheckLoadFileCRC(file, parameters.GetLoadSize(), nullptr) == 1 &&
                            CLoadMerger::CheckExeCRC(file, parameters.GetLoadSize()) == 1;
            const long after = PeakRssKiB();
            std::printf("%u chunks (%.1f MiB load area): check %s, peak RSS %ld KiB -> %ld KiB, +%ld KiB\n", chunks,
                        chunks * 4096.0 / (1 << 20), ok ? "passed" : "FAILED", before, after, after - before);
            return ok ? 0 : 1;
        });
        std::remove(path.c_str());
    }
    rmdir(dir);
    return failures == 0 ? 0 : 1;
}
