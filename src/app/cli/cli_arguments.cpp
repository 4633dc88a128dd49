#include "app/cli/cli_arguments.h"

bool ParseCliArguments(const std::vector<std::string>& args, CliArguments& parsed, std::string& error) {
    bool cli = false;
    bool verify = false;
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h") {
            parsed.command = CliCommand::kHelp;
            return true;
        }
        if (arg == "--version") {
            parsed.command = CliCommand::kVersion;
            return true;
        }
        if (arg == "--cli") {
            cli = true;
        } else if (arg == "--verify") {
            verify = true;
        } else {
            error = "unknown argument \"" + arg + "\"";
            return false;
        }
    }
    if (verify && !cli) {
        error = "--verify works only with --cli";
        return false;
    }
    if (cli && !verify) {
        error = "--cli needs a task: --verify";
        return false;
    }
    parsed.command = verify ? CliCommand::kVerify : CliCommand::kWindow;
    return true;
}

const char* CliUsage() {
    return "Usage: vexlor [--cli --verify] [--help] [--version]\n"
           "\n"
           "Firmware upgrade tool for CDMA handsets on a serial port. The firmware load travels\n"
           "inside this program file.\n"
           "\n"
           "  --cli --verify   check the embedded firmware package (parameter block, load CRC,\n"
           "                   program image) and exit: 0 when it passes, 1 otherwise\n"
           "  -h, --help       show this text\n"
           "  --version        show the program version\n";
}
