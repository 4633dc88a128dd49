#pragma once
#include <string>
#include <vector>

// What the command line asks for.
enum class CliCommand {
    kWindow,     // no arguments: the main window
    kHelp,
    kVersion,
    kVerify,     // --cli --verify: only the start-up package check
    kListPorts,  // --cli --list-ports
    kDownload,   // --cli --port COMn [--lang N]: one download
};

struct CliArguments {
    CliCommand command = CliCommand::kWindow;
    std::string port;  // kDownload: "COMn"
    int language = 0;  // --lang: 0 English, 1 Traditional Chinese, 2 Simplified Chinese
};

// Parses the arguments after the program name. False with error set on a bad command line.
// --help and --version win wherever they stand; otherwise --cli is needed with exactly one of
// --port COMn, --list-ports and --verify. "--name value" and "--name=value" are both taken.
bool ParseCliArguments(const std::vector<std::string>& args, CliArguments& parsed, std::string& error);

// The --help text.
const char* CliUsage();
