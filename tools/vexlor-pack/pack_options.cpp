// SPDX-License-Identifier: Apache-2.0
#include "pack_options.h"

#include <limits>

#include "number_text.h"

namespace {

enum class Kind { kText, kNumber16, kNumber32 };

struct OptionSpec {
    const char* name;
    Kind kind;
};

constexpr OptionSpec kOptions[] = {
    {"--program", Kind::kText},      {"--load", Kind::kText},         {"--version", Kind::kText},
    {"--out", Kind::kText},          {"--value16", Kind::kNumber16},  {"--value32a", Kind::kNumber32},
    {"--value32b", Kind::kNumber32}, {"--value32c", Kind::kNumber32},
};

bool Store(const OptionSpec& option, const std::string& value, PackOptions& options, std::string& error) {
    const std::string name = option.name;
    if (option.kind == Kind::kText) {
        if (value.empty() && name != "--version") {
            error = name + " needs a non-empty value";
            return false;
        }
        if (name == "--program")
            options.programPath = value;
        else if (name == "--load")
            options.loadPath = value;
        else if (name == "--version")
            options.version = value;
        else
            options.outPath = value;
        return true;
    }
    const uint64_t max =
        option.kind == Kind::kNumber16 ? std::numeric_limits<uint16_t>::max() : std::numeric_limits<uint32_t>::max();
    uint64_t number = 0;
    if (!ParseUnsigned(value, 0, 0, max, number)) {
        error = name + " needs a number from 0 to " + std::to_string(max) + ", not \"" + value + "\"";
        return false;
    }
    if (name == "--value16")
        options.value16 = static_cast<uint16_t>(number);
    else if (name == "--value32a")
        options.value32a = static_cast<uint32_t>(number);
    else if (name == "--value32b")
        options.value32b = static_cast<uint32_t>(number);
    else
        options.value32c = static_cast<uint32_t>(number);
    return true;
}

// An option's name, alone or as "--name=value".
bool IsOptionName(const std::string& arg) {
    const std::string name = arg.substr(0, arg.find('='));
    if (name == "--help" || name == "-h") return true;
    for (const auto& option : kOptions)
        if (name == option.name) return true;
    return false;
}

}  // namespace

bool ParsePackOptions(const std::vector<std::string>& args, PackOptions& options, std::string& error) {
    std::vector<std::string> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.showHelp = true;
            return true;
        }
        // Alone, --version asks for the program's own version; with a value it is the load's.
        if (arg == "--version" && args.size() == 1) {
            options.showVersion = true;
            return true;
        }
        if (arg == "--sign") {
            if (options.sign) {
                error = "--sign is given twice";
                return false;
            }
            options.sign = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* option = nullptr;
        for (const auto& candidate : kOptions)
            if (name == candidate.name) option = &candidate;
        if (!option) {
            error = "unknown argument \"" + arg + "\"";
            return false;
        }
        for (const auto& earlier : seen) {
            if (earlier == name) {
                error = name + " is given twice";
                return false;
            }
        }
        seen.push_back(name);
        std::string value;
        if (equals != std::string::npos) {
            value = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            // "--version --program X" asks for the program's version, not a load version "--program".
            if (name == "--version" && IsOptionName(args[i + 1])) {
                error =
                    "--version alone shows this program's version and takes no other argument; as the "
                    "load's version it needs a text (--version TEXT)";
                return false;
            }
            value = args[++i];
        } else {
            error = name + " needs a value";
            return false;
        }
        if (!Store(*option, value, options, error)) return false;
    }
    const char* missing = options.programPath.empty() ? "--program"
                          : options.loadPath.empty()  ? "--load"
                          : options.outPath.empty()   ? "--out"
                                                      : nullptr;
    bool versionGiven = false;
    for (const auto& name : seen) versionGiven = versionGiven || name == "--version";
    if (!missing && !versionGiven) missing = "--version";
    if (missing) {
        error = std::string(missing) + " is required";
        return false;
    }
    return true;
}

const char* PackUsage() {
    return "Usage: vexlor-pack --program EXE --load FILE --version TEXT --out OUT [options]\n"
           "\n"
           "Writes OUT, an executable copy of EXE with FILE appended as its firmware package:\n"
           "the program image's integrity record, the enciphered load and the enciphered\n"
           "parameter block. OUT is replaced only when the whole package was written.\n"
           "\n"
           "  --program EXE     the vexlor program to carry the load: it must hold the vexlor\n"
           "                    program mark, and must not carry a package yet\n"
           "  --load FILE       the firmware load (1 byte up to 4294963196 bytes; a size whose\n"
           "                    remainder modulo 4096 is 4093, 4094 or 4095 cannot be stored)\n"
           "  --version TEXT    the load's version text: 1 to 47 printable ASCII characters.\n"
           "                    The version check compares the two characters before its\n"
           "                    first full stop (the first two without one) with the two\n"
           "                    numbers a handset reports: \"R1234.56\" fits version 34\n"
           "  --out OUT         the file to write\n"
           "  --value16 N       16-bit value of the parameter block (default 0)\n"
           "  --value32a N      first 32-bit value of the parameter block (default 0)\n"
           "  --value32b N      second 32-bit value of the parameter block (default 0)\n"
           "  --value32c N      third 32-bit value of the parameter block (default 0)\n"
           "  --sign            sign OUT with Authenticode (osslsigncode; Linux only), with\n"
           "                    the certificate of VEXLOR_SIGN_PKCS12 and VEXLOR_SIGN_PASSWORD,\n"
           "                    time-stamped by VEXLOR_SIGN_TIMESTAMP_URL if set. Packing drops a\n"
           "                    signature EXE carries; without --sign a note says so\n"
           "  -h, --help        show this text\n"
           "  --version         alone: show the program's version\n"
           "\n"
           "On success it prints OUT's size, the load's size and version, and the handset\n"
           "software version the load fits. OUT must not be the program or the load (by path,\n"
           "link or inode). Numbers are decimal or hexadecimal with a 0x prefix. Exit status:\n"
           "0 when OUT was written; 1 when the input was refused (a program that is not a\n"
           "vexlor program or already carries a package, an unfit load or version text, OUT\n"
           "naming an input) or a file could not be read, written or signed; 2 for a bad\n"
           "command line; 130 when SIGINT, SIGTERM or SIGHUP stopped it (no file is left behind).\n";
}
