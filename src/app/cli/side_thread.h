// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <functional>
#include <thread>

// Starts work on a thread of its own, so this thread can show its progress meanwhile; when no
// thread can be had, does the work here and now (its progress then shows afterwards). The
// returned thread is empty in that case; join it when it is joinable.
std::thread StartBeside(const std::function<void()>& work);
