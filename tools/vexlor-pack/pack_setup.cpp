// SPDX-License-Identifier: Apache-2.0
#include "pack_setup.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "installer_script.h"
#include "option_pairs.h"
#include "pack_command.h"
#include "platform/system_kind.h"

namespace fs = std::filesystem;

namespace {

// What the installer script installs (its VexlorFiles list), all of it from DIR.
constexpr const char* kWindowsFiles[] = {
    "vexlor.exe",       "vexlor-pack.exe", "VexlorEngRes.dll", "VexlorChtRes.dll",
    "VexlorChsRes.dll", "LICENSE.txt",     "README.md",        "CHANGELOG.md",
};

struct SetupOptions {
    std::string out;
    std::string load;
    std::string version;
    std::string windows;
    bool versionGiven = false;
};

bool ParseSetup(const std::vector<std::string>& args, SetupOptions& options, std::string& error) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name, value;
        if (!NextOption(args, i, name, value, error)) return false;
        if (name == "--setup") {
            options.out = value;
        } else if (name == "--load") {
            options.load = value;
        } else if (name == "--version") {
            options.version = value;
            options.versionGiven = true;
        } else if (name == "--windows") {
            options.windows = value;
        } else {
            error = "--setup takes --load, --version and --windows, not \"" + name + "\"";
            return false;
        }
    }
    if (options.out.empty()) error = "--setup needs the setup program to write: --setup OUT.exe";
    if (error.empty() && options.load.empty()) error = "--setup needs --load FILE";
    if (error.empty() && !options.versionGiven) error = "--setup needs --version TEXT";
    if (error.empty() && options.windows.empty())
        error = "--setup needs --windows DIR, the release's Windows files (its unpacked windows zip)";
    return error.empty();
}

// text in single quotes for the shell: nothing inside is expanded.
std::string ShellQuoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / name;
        std::error_code failed;
        if (fs::is_regular_file(candidate, failed)) return candidate.string();
    }
    return {};
}

// The version resource's four numbers from the version text: "1.0.0+g1a2b3c4" gives 1.0.0.0.
std::string FourNumbers(const std::string& version) {
    const size_t end = version.find_first_not_of("0123456789.");
    return version.substr(0, end) + ".0";
}

// A folder of its own under the system's temporary folder, removed with the object.
class WorkFolder {
public:
    WorkFolder() {
        std::random_device random;
        for (int attempt = 0; attempt < 16 && m_path.empty(); ++attempt) {
            const fs::path path = fs::temp_directory_path() / ("vexlor-setup-" + std::to_string(random()));
            std::error_code failed;
            if (fs::create_directory(path, failed)) m_path = path;
        }
    }
    ~WorkFolder() {
        std::error_code ignored;
        if (!m_path.empty()) fs::remove_all(m_path, ignored);
    }
    const fs::path& Path() const { return m_path; }

private:
    fs::path m_path;
};

bool WriteText(const fs::path& file, const char* text) {
    std::ofstream stream(file, std::ios::binary);
    stream << text;
    stream.flush();
    return static_cast<bool>(stream);
}

std::string ReadText(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

}  // namespace

bool AsksForSetup(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& arg) { return arg == "--setup" || arg.rfind("--setup=", 0) == 0; });
}

int RunSetup(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, const std::atomic<bool>* stop) {
    SetupOptions options;
    std::string error;
    if (!ParseSetup(args, options, error)) {
        std::fprintf(err, "vexlor-pack: %s\nTry 'vexlor-pack --help'.\n", error.c_str());
        return 2;
    }
    if (platform::kWindowsSystem) {
        std::fprintf(err, "vexlor-pack: --setup is for Linux, where the release's setup is made with NSIS\n");
        return 2;
    }
    for (const char* name : kWindowsFiles) {
        std::error_code failed;
        if (!fs::is_regular_file(fs::path(options.windows) / name, failed)) {
            std::fprintf(err, "vexlor-pack: %s has no %s: --windows names the release's Windows files\n",
                         options.windows.c_str(), name);
            return 1;
        }
    }
    const std::string makensis = FindOnPath("makensis");
    if (makensis.empty()) {
        std::fprintf(err, "vexlor-pack: --setup needs NSIS's makensis on the PATH (sudo apt install nsis)\n");
        return 1;
    }
    WorkFolder work;
    if (work.Path().empty()) {
        std::fprintf(err, "vexlor-pack: cannot make a folder in %s\n", fs::temp_directory_path().string().c_str());
        return 1;
    }
    const fs::path stage = work.Path() / "stage";
    std::error_code failed;
    fs::create_directory(stage, failed);
    for (const char* name : kWindowsFiles) {
        if (std::string(name) == "vexlor.exe" || failed) continue;
        fs::copy_file(fs::path(options.windows) / name, stage / name, failed);
    }
    if (failed) {
        std::fprintf(err, "vexlor-pack: cannot stage the Windows files in %s: %s\n", stage.string().c_str(),
                     failed.message().c_str());
        return 1;
    }

    PackOptions pack;
    pack.programPath = (fs::path(options.windows) / "vexlor.exe").string();
    pack.loadPath = options.load;
    pack.version = options.version;
    pack.outPath = (stage / "vexlor.exe").string();
    PackReport report;
    if (const int status = PackAndCheck(pack, report, stop, err); status != 0) return status;

    // makensis runs in the script's folder, where the script finds the file it includes.
    const fs::path script = work.Path() / "vexlor.nsi";
    const fs::path made = work.Path() / "setup.exe";
    const fs::path log = work.Path() / "makensis.txt";
    if (!WriteText(script, kInstallerScript) || !WriteText(work.Path() / "load_at_install.nsh", kInstallerLoadScript)) {
        std::fprintf(err, "vexlor-pack: cannot write the installer script in %s\n", work.Path().string().c_str());
        return 1;
    }
    const std::string command = ShellQuoted(makensis) + " -V2 " + ShellQuoted("-DVERSION=" VEXLOR_VERSION_TEXT) + " " +
                                ShellQuoted("-DVERSION4=" + FourNumbers(VEXLOR_VERSION_TEXT)) + " " +
                                ShellQuoted("-DSTAGE=" + stage.string()) + " " +
                                ShellQuoted("-DOUTFILE=" + made.string()) + " " + ShellQuoted(script.string()) + " >" +
                                ShellQuoted(log.string()) + " 2>&1 </dev/null";
    if (std::system(command.c_str()) != 0 || !fs::is_regular_file(made, failed)) {
        std::fprintf(err, "vexlor-pack: makensis could not make the setup program:\n%s", ReadText(log).c_str());
        return stop && stop->load() ? 130 : 1;
    }
    if (stop && stop->load()) return 130;  // (makensis runs to its end: it inherits the blocked signals)
    // OUT is replaced only by a whole setup program.
    const fs::path target = fs::absolute(options.out, failed);
    const fs::path temporary = target.string() + ".part";
    if (!failed) fs::copy_file(made, temporary, fs::copy_options::overwrite_existing, failed);
    if (!failed) fs::rename(temporary, target, failed);
    if (failed) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        std::fprintf(err, "vexlor-pack: cannot write %s: %s\n", options.out.c_str(), failed.message().c_str());
        return 1;
    }
    std::fprintf(out, "Wrote %s: the setup program of Vexlor %s carrying the load version \"%s\" (%llu bytes).\n",
                 options.out.c_str(), VEXLOR_VERSION_TEXT, options.version.c_str(),
                 static_cast<unsigned long long>(report.loadSize));
    std::fprintf(out, "%s /S installs a tool that flashes at once (as administrator).\n",
                 fs::path(options.out).filename().string().c_str());
    return 0;
}
