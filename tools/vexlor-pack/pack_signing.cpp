// SPDX-License-Identifier: Apache-2.0
#include "pack_signing.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/sys_error.h"

extern char** environ;
#endif

namespace {

#ifndef _WIN32
constexpr const char* kSigner = "osslsigncode";

std::string Setting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool OnPath(const std::string& program) {
    const std::string path = Setting("PATH");
    size_t start = 0;
    for (;;) {
        const size_t end = path.find(':', start);
        const std::string folder = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!folder.empty() && access((folder + "/" + program).c_str(), X_OK) == 0) return true;
        if (end == std::string::npos) return false;
        start = end + 1;
    }
}

// Runs argv with password on its standard input; its output (both streams) in output. The exit
// status, or -1 when it could not be started or did not exit.
int Run(const std::vector<std::string>& args, const std::string& password, std::string& output) {
    int input[2];
    int result[2];
    if (pipe(input) != 0) return -1;
    if (pipe(result) != 0) {
        close(input[0]);
        close(input[1]);
        return -1;
    }
    std::vector<char*> argv;
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, result[1], 1);
    posix_spawn_file_actions_adddup2(&actions, result[1], 2);
    for (const int fd : {input[0], input[1], result[0], result[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    // The stop signals are blocked here for the thread that watches them: the signer must keep
    // the usual ones, so Ctrl+C ends it too.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigset_t defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(input[0]);
    close(result[1]);
    if (spawned != 0) {
        close(input[1]);
        close(result[0]);
        output = platform::SysErrorPhrase(spawned);
        return -1;
    }
    // A signer that exits without reading the password must not end this program with SIGPIPE.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    for (size_t done = 0; done < password.size();) {
        const ssize_t n = write(input[1], password.data() + done, password.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    close(input[1]);
    sigaction(SIGPIPE, &previous, nullptr);
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(result[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        output.append(buffer, static_cast<size_t>(n));
    }
    close(result[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The last lines of the signer's output, for the error text.
std::string Tail(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    constexpr size_t kKeep = 600;
    return text.size() > kKeep ? "..." + text.substr(text.size() - kKeep) : text;
}
#endif

}  // namespace

bool CheckSigningSettings(std::string& error) {
#ifdef _WIN32
    error =
        "--sign runs osslsigncode, which the Windows vexlor-pack does not start: pack without --sign, then sign "
        "the packed program with signtool or osslsigncode";
    return false;
#else
    const std::string certificate = Setting("VEXLOR_SIGN_PKCS12");
    if (certificate.empty()) {
        error =
            "--sign needs VEXLOR_SIGN_PKCS12, the PKCS#12 file with the code-signing certificate and its key "
            "(and VEXLOR_SIGN_PASSWORD, its password)";
        return false;
    }
    if (access(certificate.c_str(), R_OK) != 0) {
        error = "--sign: cannot read the certificate file " + certificate +
                " (VEXLOR_SIGN_PKCS12): " + platform::SysErrorPhrase(errno);
        return false;
    }
    if (!OnPath(kSigner)) {
        error = "--sign: no osslsigncode on the PATH to sign with (Debian package osslsigncode)";
        return false;
    }
    return true;
#endif
}

std::string UnusedPathBeside(const std::string& path) {
    std::string candidate = path;
    std::error_code error;
    for (int number = 1; std::filesystem::exists(std::filesystem::symlink_status(candidate, error)); ++number)
        candidate = path + std::to_string(number);
    return candidate;
}

bool SignProgram(const std::string& in, const std::string& out, std::string& error, const std::atomic<bool>* stop) {
#ifdef _WIN32
    (void)in;
    (void)out;
    (void)stop;
    return CheckSigningSettings(error);
#else
    const std::string password = Setting("VEXLOR_SIGN_PASSWORD");
    const std::string stamp = Setting("VEXLOR_SIGN_TIMESTAMP_URL");
    const std::string epoch = Setting("SOURCE_DATE_EPOCH");
    const std::string signedPath = UnusedPathBeside(out + ".signing");
    std::vector<std::string> args{kSigner, "sign", "-pkcs12", Setting("VEXLOR_SIGN_PKCS12")};
    if (!password.empty()) args.insert(args.end(), {"-readpass", "/dev/stdin"});
    args.insert(args.end(), {"-h", "sha256", "-n", "Vexlor"});
    if (!stamp.empty()) args.insert(args.end(), {"-ts", stamp});
    if (!epoch.empty() && epoch.find_first_not_of("0123456789") == std::string::npos)
        args.insert(args.end(), {"-time", epoch});
    args.insert(args.end(), {"-in", in, "-out", signedPath});
    std::string output;
    const int status = Run(args, password, output);
    std::error_code ignored;
    if (status != 0) {
        std::filesystem::remove(signedPath, ignored);
        error = "osslsigncode could not sign " + out + "; it was not written: " + Tail(output);
        return false;
    }
    if (stop && stop->load()) {
        std::filesystem::remove(signedPath, ignored);
        error = "stopped by a signal; " + out + " was not written";
        return false;
    }
    std::error_code failure;
    std::filesystem::permissions(signedPath, std::filesystem::status(in).permissions(),
                                 std::filesystem::perm_options::replace, failure);
    if (!failure) std::filesystem::rename(signedPath, out, failure);
    if (failure) {
        std::filesystem::remove(signedPath, ignored);
        error = "cannot put the signed program in place as " + out + ": " + failure.message();
        return false;
    }
    return true;
#endif
}
