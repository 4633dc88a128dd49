// SPDX-License-Identifier: Apache-2.0
#include "pack_install.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "option_pairs.h"
#include "pack_command.h"
#include "platform/program_path.h"
#include "platform/system_kind.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLanguageLibraries[] = {"VexlorEngRes.so", "VexlorChtRes.so", "VexlorChsRes.so"};

struct InstallOptions {
    std::string program;
    std::string load;
    std::string version;
    bool versionGiven = false;
};

bool ParseInstall(const std::vector<std::string>& args, InstallOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--install") continue;
        std::string name, value;
        if (!NextOption(args, i, name, value, error)) return false;
        if (name == "--program") {
            options.program = value;
        } else if (name == "--load") {
            options.load = value;
        } else if (name == "--version") {
            options.version = value;
            options.versionGiven = true;
        } else {
            error = "--install takes --load, --version and --program, not \"" + name + "\"";
            return false;
        }
    }
    if (options.load.empty()) error = "--install needs --load FILE";
    if (error.empty() && !options.versionGiven) error = "--install needs --version TEXT";
    return error.empty();
}

// A desktop entry's Exec value: the path in quotes, where '"', '`', '$' and the backslash take one,
// and every backslash then doubled again by the file's own escape of strings; '%' is "%%".
std::string ExecPath(const std::string& path) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$') quoted += "\\\\";
        if (c == '\\') quoted += "\\\\\\";
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

bool WriteEntry(const fs::path& file, const std::string& text, std::string& error) {
    const fs::path temporary = file.string() + ".new";
    {
        std::ofstream entry(temporary, std::ios::binary | std::ios::trunc);
        entry << text;
        entry.flush();
        if (!entry) {
            error = "cannot write " + temporary.string();
            return false;
        }
    }
    std::error_code failed;
    fs::rename(temporary, file, failed);
    if (failed) error = "cannot write " + file.string() + ": " + failed.message();
    return !failed;
}

std::string Entry(const std::string& name, const std::string& generic, const std::string& comment,
                  const std::string& exec, const std::string& keywords) {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nGenericName=" + generic + "\nComment=" + comment +
           "\nExec=" + exec + "\nIcon=vexlor\nTerminal=false\nCategories=Utility;Electronics;\nKeywords=" + keywords +
           "\n";
}

}  // namespace

bool AsksForInstall(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--install") != args.end();
}

int RunInstall(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, const std::atomic<bool>* stop) {
    InstallOptions options;
    std::string error;
    if (!ParseInstall(args, options, error)) {
        std::fprintf(err, "vexlor-pack: %s\nTry 'vexlor-pack --help'.\n", error.c_str());
        return 2;
    }
    if (platform::kWindowsSystem) {
        std::fprintf(err,
                     "vexlor-pack: --install is for Linux; on Windows the setup packs the load: "
                     "setup.exe /S /LOAD=FILE /VERSION=TEXT\n");
        return 2;
    }
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        std::fprintf(err, "vexlor-pack: HOME is not set: no folder to install into\n");
        return 1;
    }
    if (options.program.empty()) options.program = platform::ProgramFolder() + "vexlor";
    const fs::path folder = fs::path(home) / ".local/libexec/vexlor";
    const fs::path applications = fs::path(home) / ".local/share/applications";
    std::error_code failed;
    fs::create_directories(folder, failed);
    if (!failed) fs::create_directories(applications, failed);
    if (failed) {
        std::fprintf(err, "vexlor-pack: cannot make %s: %s\n", folder.string().c_str(), failed.message().c_str());
        return 1;
    }
    // The libraries first: a pack refused below leaves a program already installed as it was.
    const fs::path from = fs::path(options.program).parent_path();
    for (const char* library : kLanguageLibraries) {
        fs::copy_file(from / library, folder / library, fs::copy_options::overwrite_existing, failed);
        if (failed) {
            std::fprintf(err, "vexlor-pack: cannot copy the language library %s: %s\n",
                         (from / library).string().c_str(), failed.message().c_str());
            return 1;
        }
    }
    PackOptions pack;
    pack.programPath = options.program;
    pack.loadPath = options.load;
    pack.version = options.version;
    pack.outPath = (folder / "vexlor").string();
    PackReport report;
    if (const int status = PackAndCheck(pack, report, stop, err); status != 0) return status;
    const std::string exec = ExecPath(pack.outPath);
    if (!WriteEntry(
            applications / "org.vexlor.Vexlor.desktop",
            Entry("Vexlor", "Handset Firmware Upgrade", "Upgrade the firmware of a CDMA handset over a serial port",
                  exec, "firmware;flash;serial;handset;CDMA;"),
            error) ||
        !WriteEntry(applications / "org.vexlor.VexlorBench.desktop",
                    Entry("Vexlor Bench", "Handset Firmware Upgrade Bench",
                          "Upgrade the firmware of many CDMA handsets at once, one per serial port", exec + " --bench",
                          "firmware;flash;serial;handset;CDMA;bench;station;"),
                    error)) {
        std::fprintf(err, "vexlor-pack: %s\n", error.c_str());
        return 1;
    }
    std::fputs(report.Text(pack).c_str(), out);
    std::fprintf(
        out,
        "Installed in %s with its language libraries; the desktop entries Vexlor and Vexlor Bench in %s start it.\n",
        folder.string().c_str(), applications.string().c_str());
    return 0;
}
