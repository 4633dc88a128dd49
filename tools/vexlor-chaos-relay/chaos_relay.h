// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "chaos_plan.h"
#include "pseudo_terminal.h"

// A pseudo-terminal of its own, relayed to the handset simulator's terminal. What the tool
// writes reaches the handset untouched; what the handset answers passes through a ChaosPlan
// on its way back. Only that direction is spoilt: the download streams most packets without an
// answer, so a packet lost on the way to the handset is a fault neither side can see, while
// every fault on the way back must end in a correct image or a reported failure.
class ChaosRelay {
public:
    enum class End { Stopped, LineDropped, HandsetGone, Error };

    ChaosRelay() = default;
    ~ChaosRelay();
    ChaosRelay(const ChaosRelay&) = delete;
    ChaosRelay& operator=(const ChaosRelay&) = delete;

    // Opens the handset's terminal and creates the tool's. Empty on success, else the error.
    std::string Open(const std::string& handsetDevice);
    // The terminal the tool is to open.
    const std::string& ToolPath() const { return m_tool.SlavePath(); }

    // Relays until wakeFd becomes readable, the plan drops the line, the handset's terminal
    // goes away, or a terminal fails. trace (may be null) gets one line per fault.
    End Run(int wakeFd, ChaosPlan& plan, std::FILE* trace);
    // Closes both terminals: the tool's port then reads as hung up.
    void Close();

    const std::string& LastError() const { return m_lastError; }

private:
    bool Forward(int from, int to);    // tool to handset, whole
    void CarryRate(int from, int to);  // the tool's line rate onto the handset's terminal
    bool FlushHeld();                  // handset to tool, as far as the tool takes it

    int m_handset = -1;
    PseudoTerminal m_tool;
    std::vector<uint8_t> m_held;  // answers not yet passed on (held back, or no room)
    std::string m_lastError;
};
