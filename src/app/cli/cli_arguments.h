// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "platform/system_kind.h"

// What the command line asks for.
enum class CliCommand {
    kWindow,  // no arguments: the main window
    kBench,   // --bench alone: the bench window (many ports at once)
    kHelp,
    kVersion,
    kVerify,          // --cli --verify: only the start-up package check
    kListPorts,       // --cli --list-ports
    kDownload,        // --cli --port PORT... or --all-ports: a download on each port, all at once
    kInfo,            // --cli --port PORT --info: what the handset reports, nothing downloaded
    kRecordsVerify,   // --cli --records-verify: walk the record store's chain
    kHistory,         // --cli --history [ESN]: the stored records, newest first
    kRecordsExport,   // --cli --records-export FILE: the stored records as CSV or JSON Lines
    kPublishPending,  // --cli --publish-pending: the stored records still waiting go to the broker
};

struct CliArguments {
    CliCommand command = CliCommand::kWindow;
    // kDownload, kInfo: each "COMn", or a device path ("/dev/ttyUSB0") to resolve, in the order
    // given; a port named twice stays twice (its second run is refused, the others go on).
    std::vector<std::string> ports;
    bool allPorts = false;  // --all-ports: every port of the port list
    // --skip-port (with --all-ports): ports left out, as --port takes them (COMn or a device path).
    std::vector<std::string> skipPorts;
    bool json = false;                      // --json: one JSON object per event
    std::optional<std::string> reportFile;  // --report: a CSV row per handset run, appended
    // --report-bom, --no-report-bom: whether a new report file begins with a UTF-8 byte order
    // mark; unset, the system's way (on Windows, for Excel).
    std::optional<bool> reportBom;
    int language = 0;                      // --lang: 0 English, 1 Traditional Chinese, 2 Simplified Chinese
    bool quiet = false;                    // --quiet: status lines only
    std::optional<int> waitSeconds;        // --wait: for the port to appear and the handset to answer
    std::optional<int> logLevel;           // --log-level: overrides the settings file
    std::optional<std::string> logFolder;  // --log-dir: likewise
    // --station: every port flashes handset after handset until stopped (waiting, flashing,
    // confirming the restart, waiting for the handset's removal).
    bool station = false;
    bool confirm = false;               // --confirm: after the done status, wait for the restart
    double confirmTimeoutSeconds = 60;  // --confirm-timeout: how long the restart is waited for
    double goneAfterSeconds = 3;        // --gone-after: silence that makes a station port free again
    std::optional<int> maxHandsets;     // --max-handsets: the station ends after this many records
    // --records FILE: the record store instead of the default one; --no-records: none written.
    std::optional<std::string> recordsFile;
    bool noRecords = false;
    std::string historyEsn;  // --history ESN: one handset's (8 hex digits, upper case, or decimal)
    std::string since;       // --since: UTC "YYYY-MM-DDTHH:MM:SS", "" for no limit
    std::string exportFile;  // --records-export FILE
    // --publish URL (checked as mqtt:// or mqtts://) and --publish-ca FILE: the broker the stored
    // records go to; unset, the settings file's "publish" and "publish_ca".
    std::optional<std::string> publishUrl;
    std::optional<std::string> publishCa;

    // True when a run's done status is followed by the wait for the handset's restart.
    bool Confirms() const { return station || confirm; }
};

// Parses the arguments after the program name. False with error set on a bad command line.
// --help and --version win wherever they stand; otherwise --cli is needed with exactly one task:
// --port (repeated, or with comma-separated ports) or --all-ports, --list-ports, --verify.
// "--name value" and "--name=value" are both taken.
// "/?" is taken as --help. windows: the Windows build's rules, where a port is a COM name only
// (a device path is refused as none).
bool ParseCliArguments(const std::vector<std::string>& args, CliArguments& parsed, std::string& error,
                       bool windows = platform::kWindowsSystem);

// The --help text, in the terms of the system it runs on (windows: COM names, the registry,
// Ctrl+C and the console window, the per-port mutex).
std::string CliUsage(bool windows = platform::kWindowsSystem);
