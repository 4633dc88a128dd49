// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

// Raw 8-bit settings for a terminal descriptor, without hang-up on the last close, so that a
// tool closing and reopening its port never drops the line. False when the settings fail.
bool MakeRawTerminal(int fd);

// A pseudo-terminal made by a tool that plays the far end of a serial line. The master side
// does not block; a descriptor of the slave side (SlavePath, the port the tool under test
// opens) stays open here, so the master never reads end-of-file or EIO while that port is
// closed between openings. The slave side is raw from the start (with echo on, the terminal
// would send every answer straight back), at the system's default rate, as a port nobody has
// set up yet: a rate the handset does not hear until the tool sets its own.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Empty on success, else the error text; nothing stays open after a failure.
    std::string Open();
    void Close();

    int Master() const { return m_master; }
    int Keeper() const { return m_keeper; }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_keeper = -1;
    std::string m_slavePath;
};
