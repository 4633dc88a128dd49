#pragma once
#include <string>
#include <vector>

// What the command line asks for.
enum class CliCommand {
    kWindow,   // no arguments: the main window
    kHelp,
    kVersion,
    kVerify,   // --cli --verify: only the start-up package check
};

struct CliArguments {
    CliCommand command = CliCommand::kWindow;
};

// Parses the arguments after the program name. False with error set on a bad command line.
bool ParseCliArguments(const std::vector<std::string>& args, CliArguments& parsed, std::string& error);

// The --help text.
const char* CliUsage();
