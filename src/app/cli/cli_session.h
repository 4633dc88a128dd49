#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/cli_arguments.h"
#include "app/cli/message_queue.h"
#include "app/common/resource_library.h"
#include "app/common/status_lines.h"
#include "platform/named_mutex.h"

// The start-up that every headless task on a port shares, in order: the settings file must be
// readable, the log opens (with the command line's overrides), the port is resolved through the
// port map, this process takes the port's guard (several runs on different ports side by side,
// the same port twice refused), the language library loads, and the port is in the port list
// (waited for with --wait). Each step that fails says why on the error stream.
class CliSession {
public:
    CliSession(const CliArguments& args, std::FILE* out, std::FILE* err, MessageQueue& queue);
    ~CliSession();
    CliSession(const CliSession&) = delete;
    CliSession& operator=(const CliSession&) = delete;

    // The steps above: kExitDone when all passed, else the exit status (the reason printed).
    int Start();

    const CliArguments& Args() const { return m_args; }
    std::FILE* Out() const { return m_out; }
    std::FILE* Err() const { return m_err; }
    bool Terminal() const { return m_terminal; }
    MessageQueue& Queue() { return m_queue; }
    // The port as COMn (Start resolves a device path).
    const std::string& Port() const { return m_port; }
    // Library texts by string ID.
    const TextLookup& Text() const { return m_text; }
    // True once a stop signal came while Start waited; Start then returns kExitSignal.
    bool Interrupted() const { return m_interrupted; }
    // Milliseconds the run may wait for the handset to answer beyond the usual detection
    // (what --wait leaves after the port appeared); 0 without --wait.
    int ExtraDetectionMs() const { return m_extraDetectionMs; }

    // Prints a line on the output stream (and flushes, so a pipe sees it at once).
    void Print(const std::string& line) const;

private:
    int CheckSettings();
    int ResolvePort();
    int GuardPort();
    int LoadLanguage();
    int WaitForPort();

    const CliArguments& m_args;
    std::FILE* m_out;
    std::FILE* m_err;
    bool m_terminal;
    MessageQueue& m_queue;
    std::string m_port;
    CResourceLibrary m_language;
    TextLookup m_text;
    platform::NamedMutex m_guard;
    bool m_logOpen = false;
    bool m_interrupted = false;
    int m_extraDetectionMs = 0;
};
