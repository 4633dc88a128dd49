// SPDX-License-Identifier: Apache-2.0
#include "app/cli/side_thread.h"

#include <system_error>

std::thread StartBeside(const std::function<void()>& work) {
    try {
        return std::thread(work);
    } catch (const std::system_error&) {
        work();
        return {};
    }
}
