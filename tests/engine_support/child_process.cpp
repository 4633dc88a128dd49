// SPDX-License-Identifier: Apache-2.0
#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

extern char** environ;

namespace {
using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}
}  // namespace

ChildProcess::~ChildProcess() {
    if (m_pid > 0 && !m_ended) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    if (m_stdout >= 0) ::close(m_stdout);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& stderrFile) {
    if (m_pid > 0) {
        if (!m_ended) return false;  // one child at a time
        if (m_stdout >= 0) ::close(m_stdout);
        m_pid = m_stdout = m_status = -1;
        m_ended = false;
        m_lineStart = 0;
        m_output.clear();
    }
    std::vector<std::string> environment;
    for (char** entry = environ; *entry; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        bool replaced = false;
        for (const auto& extra : env) replaced = replaced || extra.substr(0, extra.find('=')) == name;
        if (!replaced) environment.push_back(text);
    }
    environment.insert(environment.end(), env.begin(), env.end());

    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    const int errFd = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        if (errFd >= 0) ::close(errFd);
        return false;
    }
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::dup2(pipeFds[1], STDOUT_FILENO);
        if (errFd >= 0) ::dup2(errFd, STDERR_FILENO);
        const int nullFd = ::open("/dev/null", O_RDONLY);
        if (nullFd >= 0) ::dup2(nullFd, STDIN_FILENO);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    if (errFd >= 0) ::close(errFd);
    m_pid = pid;
    m_stdout = pipeFds[0];
    return true;
}

bool ChildProcess::Pump(int waitMs) {
    if (m_stdout < 0) return false;
    pollfd fd{m_stdout, POLLIN, 0};
    if (::poll(&fd, 1, waitMs) <= 0) return true;
    char buffer[4096];
    const ssize_t n = ::read(m_stdout, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && errno == EINTR) return true;
        ::close(m_stdout);
        m_stdout = -1;
        return false;
    }
    m_output.append(buffer, static_cast<size_t>(n));
    return true;
}

bool ChildProcess::ReadLine(std::string& line, int limitMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const size_t newline = m_output.find('\n', m_lineStart);
        if (newline != std::string::npos) {
            line = m_output.substr(m_lineStart, newline - m_lineStart);
            m_lineStart = newline + 1;
            return true;
        }
        if (Clock::now() >= end || !Pump(RemainingMs(end))) return false;
    }
}

bool ChildProcess::WaitForOutput(const std::string& needle, int limitMs) {
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    while (m_output.find(needle) == std::string::npos) {
        if (Clock::now() >= end) return false;
        if (!Pump(RemainingMs(end) > 50 ? 50 : RemainingMs(end))) return m_output.find(needle) != std::string::npos;
    }
    return true;
}

void ChildProcess::CloseOutput() {
    if (m_stdout >= 0) ::close(m_stdout);
    m_stdout = -1;
}

bool ChildProcess::Signal(int signal) { return m_pid > 0 && !m_ended && ::kill(m_pid, signal) == 0; }

int ChildProcess::Wait(int limitMs) {
    if (m_pid <= 0) return -1;
    const auto end = Clock::now() + std::chrono::milliseconds(limitMs);
    while (!m_ended) {
        int status = 0;
        const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_ended = true;
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (Clock::now() >= end) return -1;
        if (m_stdout >= 0) {
            Pump(20);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    while (m_stdout >= 0 && Pump(0)) {
        // Collect what the child left in the pipe.
        pollfd fd{m_stdout, POLLIN, 0};
        if (::poll(&fd, 1, 0) <= 0) break;
    }
    return m_status;
}
