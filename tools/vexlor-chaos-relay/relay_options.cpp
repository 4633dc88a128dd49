// SPDX-License-Identifier: Apache-2.0
#include "relay_options.h"

#include "number_text.h"

std::string ParseRelayOptions(const std::vector<std::string>& args, RelayOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            return {};
        }
        if (name == "--version") {
            options.version = true;
            return {};
        }
        if (name != "--device" && name != "--seed" && name != "--rate" && name != "--max-delay" && name != "--log")
            return "unknown argument \"" + name + "\"";
        if (i + 1 >= args.size()) return name + " needs a value";
        const std::string& value = args[++i];
        uint64_t number = 0;
        if (name == "--device" || name == "--log") {
            if (value.empty()) return name + " needs a file name";
            (name == "--device" ? options.device : options.logFile) = value;
        } else if (name == "--seed") {
            if (!ParseUnsigned(value, 10, 0, UINT64_MAX, number)) return "--seed needs a number, not \"" + value + "\"";
            options.seed = number;
        } else if (name == "--rate") {
            if (!ParseUnsigned(value, 10, 0, 100, number))
                return "--rate needs a percentage 0 to 100, not \"" + value + "\"";
            options.percent = static_cast<int>(number);
        } else {
            if (!ParseUnsigned(value, 10, 1, 600000, number))
                return "--max-delay needs milliseconds 1 to 600000, not \"" + value + "\"";
            options.maxDelayMs = static_cast<int>(number);
        }
    }
    if (options.device.empty()) return "--device is required";
    return {};
}

const char* RelayHelpText() {
    return "Usage: vexlor-chaos-relay --device PATH [--seed N] [--rate PERCENT] [--max-delay MS] [--log FILE]\n"
           "       vexlor-chaos-relay --help | --version\n"
           "A faulty line between Vexlor and a handset (the handset simulator's terminal PATH).\n"
           "\n"
           "Creates a pseudo-terminal of its own and prints its path as the first line on standard\n"
           "output; the tool opens that one as its port. Bytes from the tool reach the handset\n"
           "unchanged. Each piece the handset sends back is spoilt with chance PERCENT (default 4):\n"
           "random bytes inserted (garbage), 1 to 4 bytes dropped, one byte altered, the piece sent\n"
           "twice (duplicated frames), held back 1/4 to all of MS milliseconds together with\n"
           "everything after it (default 3000: past the tool's time-outs once they are scaled\n"
           "down with VEXLOR_TIME_SCALE), or the line dropped: both terminals are closed, so the\n"
           "tool's port reads as hung up, and the relay exits.\n"
           "\n"
           "The same --seed (default 1) makes the same decisions for the same pieces. --log writes\n"
           "one line per fault. Ends on SIGTERM or SIGINT, when the line is dropped or when the\n"
           "handset's terminal goes away; exit status 0, or 1 when a terminal fails.\n";
}
