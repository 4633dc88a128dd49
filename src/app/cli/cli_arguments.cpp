#include "app/cli/cli_arguments.h"

#include <cctype>

namespace {

// COMn with n from 1 to 999, letters in any case, an optional leading "\\.\"; gives "COMn".
bool NormalisePort(std::string text, std::string& port) {
    if (text.rfind("\\\\.\\", 0) == 0) text.erase(0, 4);
    if (text.size() < 4 || text.size() > 6) return false;
    for (size_t i = 0; i < 3; ++i) text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
    if (text.compare(0, 3, "COM") != 0 || text[3] == '0') return false;
    for (size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    }
    port = text;
    return true;
}

bool Refuse(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

}  // namespace

bool ParseCliArguments(const std::vector<std::string>& args, CliArguments& parsed, std::string& error) {
    parsed = CliArguments{};
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            parsed.command = CliCommand::kHelp;
            return true;
        }
    }
    for (const auto& arg : args) {
        if (arg == "--version") {
            parsed.command = CliCommand::kVersion;
            return true;
        }
    }
    if (args.empty()) return true;

    bool cli = false;
    bool languageGiven = false;
    int tasks = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
            hasValue = true;
        }
        const bool takesValue = name == "--port" || name == "--lang";
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size()) return Refuse(error, name + " needs a value");
            value = args[++i];
        } else if (!takesValue && hasValue) {
            return Refuse(error, name + " takes no value");
        }

        if (name == "--cli") {
            cli = true;
        } else if (name == "--port") {
            if (!NormalisePort(value, parsed.port)) {
                return Refuse(error, "\"" + value + "\" is not a port name; expected COMn (see --cli --list-ports)");
            }
            parsed.command = CliCommand::kDownload;
            ++tasks;
        } else if (name == "--lang") {
            if (languageGiven) return Refuse(error, "--lang given twice");
            if (value.size() != 1 || value[0] < '0' || value[0] > '2') {
                return Refuse(error, "--lang takes 0 (English), 1 (Traditional Chinese) or 2 (Simplified Chinese)");
            }
            parsed.language = value[0] - '0';
            languageGiven = true;
        } else if (name == "--list-ports") {
            parsed.command = CliCommand::kListPorts;
            ++tasks;
        } else if (name == "--verify") {
            parsed.command = CliCommand::kVerify;
            ++tasks;
        } else {
            return Refuse(error, "unknown argument \"" + args[i] + "\"");
        }
    }
    if (!cli) return Refuse(error, "these options work only with --cli");
    if (tasks == 0) return Refuse(error, "--cli needs a task: --port COMn, --list-ports or --verify");
    if (tasks > 1) return Refuse(error, "give only one of --port, --list-ports and --verify");
    if (languageGiven && parsed.command != CliCommand::kDownload) return Refuse(error, "--lang goes with --port");
    return true;
}

const char* CliUsage() {
    return "Usage: vexlor [--cli (--port COMn [--lang N] | --list-ports | --verify)] [--help] [--version]\n"
           "\n"
           "Firmware upgrade tool for CDMA handsets on a serial port. The firmware load travels\n"
           "inside this program file. Without arguments the window opens.\n"
           "\n"
           "  --cli --port COMn  flash the load to the handset on COMn: the start-up checks, then one\n"
           "                     download. Each status is printed as a line \"[0xNNN] text\"; progress\n"
           "                     is a bar on a terminal, plain lines otherwise. Exit status 0 when the\n"
           "                     download is done, 1 on any failure, 130 when stopped by SIGINT or\n"
           "                     SIGTERM (the run is stopped as the Stop button stops it)\n"
           "  --lang N           language of the texts: 0 English (default), 1 Traditional Chinese,\n"
           "                     2 Simplified Chinese\n"
           "  --cli --list-ports list the serial ports: COM name and device, one a line\n"
           "  --cli --verify     check the embedded firmware package (parameter block, load CRC,\n"
           "                     program image) and exit: 0 when it passes, 1 otherwise\n"
           "  -h, --help         show this text\n"
           "  --version          show the program version\n"
           "\n"
           "Settings (log, port names) come from $VEXLOR_REGISTRY, else\n"
           "~/.config/vexlor/registry.reg, else /etc/vexlor/registry.reg.\n";
}
