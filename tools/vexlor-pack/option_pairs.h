// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The option at args[i] and its value, given as "--name=value" or as "--name value" (then i
// moves past the value). False, with error set, for a name at the end without a value.
inline bool NextOption(const std::vector<std::string>& args, size_t& i, std::string& name, std::string& value,
                       std::string& error) {
    name = args[i];
    value.clear();
    if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
        value = name.substr(eq + 1);
        name.erase(eq);
        return true;
    }
    if (i + 1 < args.size()) {
        value = args[++i];
        return true;
    }
    error = name + " needs a value";
    return false;
}
