// SPDX-License-Identifier: Apache-2.0
#include "process_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "package_fixture.h"

namespace pkgtest {

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env, const ProcessLimits& limits) {
    TempDir capture;
    const std::string outPath = capture.File("stdout");
    const std::string errPath = capture.File("stderr");
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    // The environment is built before fork: the child only calls async-signal-safe functions.
    std::vector<std::string> envText;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& [name, value] : env) replaced = replaced || text.rfind(name + "=", 0) == 0;
        if (!replaced) envText.push_back(text);
    }
    for (const auto& [name, value] : env) envText.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& text : envText) envp.push_back(text.data());
    envp.push_back(nullptr);

    ProcessResult result;
    int gone[2] = {-1, -1};
    if (limits.outputReaderGone) {
        if (pipe(gone) != 0) return result;
        close(gone[0]);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = limits.outputReaderGone ? gone[1] : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0) _exit(126);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        signal(SIGPIPE, SIG_DFL);
        signal(SIGXFSZ, SIG_DFL);
        if (limits.fileSizeLimit >= 0) {
            const rlimit limit{static_cast<rlim_t>(limits.fileSizeLimit), static_cast<rlim_t>(limits.fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(126);
        }
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (gone[1] >= 0) close(gone[1]);
    if (pid < 0) return result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return result;
    }
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.err = "killed by signal " + std::to_string(WTERMSIG(status)) + "\n";
    result.out = Slurp(outPath);
    result.err += Slurp(errPath);
    return result;
}

}  // namespace pkgtest
