// SPDX-License-Identifier: Apache-2.0
#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fstream>

extern char** environ;

namespace {
std::atomic<int> g_traceCounter{0};
constexpr int kStartLimitMs = 10000;
}  // namespace

std::string SimulatorPath() { return VEXLOR_SIM_PATH; }

SimProcess::SimProcess(const std::vector<std::string>& options, const std::string& settingsFile,
                       const std::string& port) {
    m_trace = settingsFile + ".trace" + std::to_string(g_traceCounter++);
    std::vector<std::string> args = {SimulatorPath()};
    args.insert(args.end(), options.begin(), options.end());
    for (const char* a : {"--register", settingsFile.c_str(), "--com", port.c_str(), "--log", m_trace.c_str()}) {
        args.push_back(a);
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    pid_t pid = -1;
    int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    m_stdout = fds[0];
    if (error != 0) return;
    m_pid = pid;

    std::string line;
    while (line.find('\n') == std::string::npos) {
        struct pollfd pfd = {m_stdout, POLLIN, 0};
        if (poll(&pfd, 1, kStartLimitMs) <= 0) return;
        char chunk[256];
        ssize_t n = read(m_stdout, chunk, sizeof chunk);
        if (n <= 0) return;
        line.append(chunk, static_cast<size_t>(n));
    }
    m_terminal = line.substr(0, line.find('\n'));
}

SimProcess::~SimProcess() {
    Stop(SIGTERM);
    if (m_stdout >= 0) close(m_stdout);
    unlink(m_trace.c_str());
}

void SimProcess::Kill() { Stop(SIGKILL); }

void SimProcess::Stop(int signal) {
    if (m_pid <= 0) return;
    kill(m_pid, signal);
    int status = 0;
    while (waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {}
    m_pid = -1;
}

std::vector<std::string> SimProcess::TraceLines() const {
    std::vector<std::string> lines;
    std::ifstream in(m_trace);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int SimProcess::CountTraced(const std::string& direction, const std::string& hexBytes) const {
    int count = 0;
    for (const std::string& line : TraceLines()) {
        size_t colon = line.find(" bytes:");
        if (colon == std::string::npos || line.find(" " + direction + " ") == std::string::npos) continue;
        if (line.find(hexBytes, colon) != std::string::npos) ++count;
    }
    return count;
}

std::string SimProcess::TraceText() const {
    std::string text;
    for (const std::string& line : TraceLines()) text += line + "\n";
    return text;
}
