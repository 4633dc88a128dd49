// SPDX-License-Identifier: Apache-2.0
#include "app/cli/cli_arguments.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <utility>

#include "app/common/port_numbers.h"
#include "records/mqtt_url.h"

namespace {

constexpr int kWaitSecondsMax = 24 * 60 * 60;
constexpr double kStationSecondsMax = 3600;
constexpr int kMaxHandsetsMax = 1000000;

bool Refuse(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

// A whole decimal number from min to max ("-1" allowed when min is negative).
std::optional<int> WholeNumber(const std::string& text, int min, int max) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    size_t start = text[0] == '-' ? 1 : 0;
    if (start == text.size()) return std::nullopt;
    for (size_t i = start; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    }
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < min || value > max) return std::nullopt;
    return static_cast<int>(value);
}

// Seconds as a decimal number ("3", "0.5") from min to max.
std::optional<double> DecimalSeconds(const std::string& text, double min, double max) {
    if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789.") != std::string::npos ||
        text.find('.') != text.rfind('.') || text.front() == '.' || text.back() == '.')
        return std::nullopt;
    const double value = std::strtod(text.c_str(), nullptr);
    if (value < min || value > max) return std::nullopt;
    return value;
}

bool TakesValue(const std::string& name) {
    return name == "--port" || name == "--skip-port" || name == "--lang" || name == "--wait" || name == "--log-level" ||
           name == "--log-dir" || name == "--report" || name == "--confirm-timeout" || name == "--gone-after" ||
           name == "--max-handsets" || name == "--records" || name == "--since" || name == "--records-export" ||
           name == "--publish" || name == "--publish-ca";
}

// An ESN as --history takes it: 8 hex digits (with or without 0x) in upper case, or the 11
// decimal digits of its decimal form; nullopt for anything else.
std::optional<std::string> EsnArgument(std::string text) {
    if (text.size() == 10 && (text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0)) text.erase(0, 2);
    if (text.size() == 8 && text.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos) {
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }
    if (text.size() == 11 && text.find_first_not_of("0123456789") == std::string::npos) return text;
    return std::nullopt;
}

// --since: "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM[:SS]" (UTC) as "YYYY-MM-DDTHH:MM:SS", which compares
// as text with the records' times.
std::optional<std::string> SinceArgument(const std::string& text) {
    static const std::string kShape = "dddd-dd-ddTdd:dd:dd";
    std::string full = text;
    if (full.size() == 10) full += "T00:00:00";
    if (full.size() == 16) full += ":00";
    if (full.size() != kShape.size()) return std::nullopt;
    for (size_t i = 0; i < full.size(); ++i) {
        if (kShape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(full[i])) : full[i] != kShape[i]) {
            return std::nullopt;
        }
    }
    const int month = std::stoi(full.substr(5, 2)), day = std::stoi(full.substr(8, 2));
    const int hour = std::stoi(full.substr(11, 2)), minute = std::stoi(full.substr(14, 2));
    const int second = std::stoi(full.substr(17, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    return full;
}

// One port of --port: "COMn" as normalised, or a device path as given (resolved through the
// port map later). A relative path ("./ttyX", "../dev/pts/3") is taken from the current folder.
// Windows has COM names only: a device path there is no port at all.
std::optional<std::string> PortArgument(const std::string& text, bool windows) {
    if (windows) return NormalisePortName(text);
    if (!text.empty() && text[0] == '/') return text;
    if (text.find('/') != std::string::npos) {
        std::error_code error;
        const std::filesystem::path path = std::filesystem::absolute(text, error);
        if (!error) return path.lexically_normal().string();
    }
    return NormalisePortName(text);
}

// The ports of a --port or --skip-port value ("COM1,COM2,/dev/ttyUSB0"), appended to ports.
bool TakePorts(const std::string& value, std::vector<std::string>& ports, std::string& error, bool windows) {
    size_t start = 0;
    do {
        const size_t comma = value.find(',', start);
        const std::string item = value.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const auto port = PortArgument(item, windows);
        if (!port && windows) {
            return Refuse(error, "\"" + item +
                                     "\" is not a COM port name; expected COMn or \\\\.\\COMn as Device Manager "
                                     "names it (see vexlor --cli --list-ports)");
        }
        if (!port) {
            return Refuse(error, "\"" + item +
                                     "\" is not a port; expected COMn or a device path such as "
                                     "/dev/ttyUSB0 (see vexlor --cli --list-ports)");
        }
        ports.push_back(*port);
        start = comma == std::string::npos ? std::string::npos : comma + 1;
    } while (start != std::string::npos);
    return true;
}

// Lines of the --help text and what the Windows build says in their place.
constexpr std::pair<const char*, const char*> kWindowsTerms[] = {
    {"Usage: vexlor ", "Usage: vexlor.exe "},
    {"(COMn, or a device path\n"
     "                        such as /dev/ttyUSB0 or ./ttyX)",
     "(COMn or \\\\.\\COMn, as\n"
     "                        Device Manager names it)"},
    {"SIGINT, SIGTERM or SIGHUP end it", "Ctrl+C or closing the window end it"},
    {"  -h, --help            show this text\n", "  -h, --help, /?        show this text\n"},
    {"Chinese texts (default: no)", "Chinese texts (default: yes)"},
    {"  4    the port's lock file cannot be created\n",
     "  4    the port's mutex (Global\\vexlor-port-COMn) cannot be created\n"},
    {"  5    the settings file exists but cannot be read\n", "  5    the settings in the registry cannot be read\n"},
    {"  130  stopped by SIGINT, SIGTERM or SIGHUP (every run is stopped as the Stop button\n"
     "       stops it;",
     "  130  stopped by Ctrl+C or by closing the console window (every run is stopped as\n"
     "       the Stop button stops it;"},
    {"                        $XDG_DATA_HOME/vexlor/records.db, else\n"
     "                        ~/.local/share/vexlor/records.db.\n",
     "                        %LOCALAPPDATA%\\Vexlor\\records.db.\n"},
    {"Settings (log, port names) come from $VEXLOR_REGISTRY, else\n"
     "~/.config/vexlor/registry.reg, else /etc/vexlor/registry.reg.\n",
     "Settings (log) come from the registry, HKLM\\SOFTWARE\\Vexlor; the COM ports from\n"
     "HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM.\n"},
};

}  // namespace

bool ParseCliArguments(const std::vector<std::string>& args, CliArguments& parsed, std::string& error, bool windows) {
    parsed = CliArguments{};
    for (const auto& arg : args) {
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            parsed.command = CliCommand::kHelp;
            return true;
        }
    }
    for (const auto& arg : args) {
        if (arg == "--version") {
            parsed.command = CliCommand::kVersion;
            return true;
        }
    }
    if (args.empty()) return true;
    if (std::find(args.begin(), args.end(), "--bench") != args.end()) {
        if (args.size() > 1) return Refuse(error, "--bench takes no other options");
        parsed.command = CliCommand::kBench;
        return true;
    }

    bool cli = false;
    bool languageGiven = false;
    bool info = false;
    bool portsGiven = false;
    bool goneGiven = false;
    bool confirmTimeoutGiven = false;
    int tasks = 0;
    std::vector<std::string> seen;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.erase(eq);
            hasValue = true;
        }
        // --history takes an ESN where one follows it.
        if (name == "--history" && !hasValue && i + 1 < args.size() && args[i + 1].rfind("-", 0) != 0) {
            value = args[++i];
            hasValue = true;
        }
        const bool takesValue = TakesValue(name) || (name == "--history" && hasValue);
        if (takesValue && !hasValue) {
            if (i + 1 >= args.size()) return Refuse(error, name + " needs a value");
            value = args[++i];
        } else if (!takesValue && hasValue) {
            return Refuse(error, name + " takes no value");
        }
        if (name != "--cli" && name != "--port" && name != "--skip-port") {
            for (const auto& earlier : seen) {
                if (earlier == name) return Refuse(error, name + " given twice");
            }
            seen.push_back(name);
        }

        if (name == "--cli") {
            cli = true;
        } else if (name == "--port") {
            if (!TakePorts(value, parsed.ports, error, windows)) return false;
            parsed.command = CliCommand::kDownload;
            if (!portsGiven) ++tasks;
            portsGiven = true;
        } else if (name == "--skip-port") {
            if (!TakePorts(value, parsed.skipPorts, error, windows)) return false;
        } else if (name == "--all-ports") {
            parsed.allPorts = true;
            parsed.command = CliCommand::kDownload;
            ++tasks;
        } else if (name == "--json") {
            parsed.json = true;
        } else if (name == "--report") {
            if (value.empty()) return Refuse(error, "--report needs a file name");
            parsed.reportFile = value;
        } else if (name == "--report-bom" || name == "--no-report-bom") {
            const bool mark = name == "--report-bom";
            if (parsed.reportBom && *parsed.reportBom != mark)
                return Refuse(error, "give only one of --report-bom and --no-report-bom");
            parsed.reportBom = mark;
        } else if (name == "--lang") {
            if (value.size() != 1 || value[0] < '0' || value[0] > '2') {
                return Refuse(error, "--lang takes 0 (English), 1 (Traditional Chinese) or 2 (Simplified Chinese)");
            }
            parsed.language = value[0] - '0';
            languageGiven = true;
        } else if (name == "--info") {
            info = true;
        } else if (name == "--quiet" || name == "-q") {
            parsed.quiet = true;
        } else if (name == "--wait") {
            parsed.waitSeconds = WholeNumber(value, 0, kWaitSecondsMax);
            if (!parsed.waitSeconds) {
                return Refuse(error, "--wait takes a number of seconds from 0 to " + std::to_string(kWaitSecondsMax));
            }
        } else if (name == "--log-level") {
            parsed.logLevel = WholeNumber(value, -1, 5);
            if (!parsed.logLevel) return Refuse(error, "--log-level takes -1 (no log) to 5 (everything)");
        } else if (name == "--log-dir") {
            if (value.empty()) return Refuse(error, "--log-dir needs a folder");
            parsed.logFolder = value;
        } else if (name == "--station") {
            parsed.station = true;
        } else if (name == "--confirm") {
            parsed.confirm = true;
        } else if (name == "--confirm-timeout" || name == "--gone-after") {
            const double min = name == "--gone-after" ? 0.1 : 0;
            const auto seconds = DecimalSeconds(value, min, kStationSecondsMax);
            if (!seconds) {
                return Refuse(error, name + " takes seconds from " + (min > 0 ? "0.1" : "0") + " to 3600 (\"" + value +
                                         "\" is not)");
            }
            (name == "--gone-after" ? parsed.goneAfterSeconds : parsed.confirmTimeoutSeconds) = *seconds;
            (name == "--gone-after" ? goneGiven : confirmTimeoutGiven) = true;
        } else if (name == "--max-handsets") {
            parsed.maxHandsets = WholeNumber(value, 1, kMaxHandsetsMax);
            if (!parsed.maxHandsets)
                return Refuse(error, "--max-handsets takes a number from 1 to " + std::to_string(kMaxHandsetsMax));
        } else if (name == "--records") {
            if (value.empty()) return Refuse(error, "--records needs a file name");
            parsed.recordsFile = value;
        } else if (name == "--no-records") {
            parsed.noRecords = true;
        } else if (name == "--records-verify") {
            parsed.command = CliCommand::kRecordsVerify;
            ++tasks;
        } else if (name == "--history") {
            if (hasValue) {
                const auto esn = EsnArgument(value);
                if (!esn) {
                    return Refuse(
                        error, "--history takes an ESN: 8 hex digits (8F2A10C4) or its 11 decimal digits (\"" + value +
                                   "\" is not)");
                }
                parsed.historyEsn = *esn;
            }
            parsed.command = CliCommand::kHistory;
            ++tasks;
        } else if (name == "--since") {
            const auto since = SinceArgument(value);
            if (!since) {
                return Refuse(error, "--since takes a UTC date YYYY-MM-DD or time YYYY-MM-DDTHH:MM[:SS] (\"" + value +
                                         "\" is not)");
            }
            parsed.since = *since;
        } else if (name == "--records-export") {
            if (value.empty()) return Refuse(error, "--records-export needs a file name");
            parsed.exportFile = value;
            parsed.command = CliCommand::kRecordsExport;
            ++tasks;
        } else if (name == "--publish") {
            std::string why;
            if (!ParseMqttUrl(value, why)) return Refuse(error, "--publish: " + why);
            parsed.publishUrl = value;
        } else if (name == "--publish-ca") {
            if (value.empty()) return Refuse(error, "--publish-ca needs a file name");
            parsed.publishCa = value;
        } else if (name == "--publish-pending") {
            parsed.command = CliCommand::kPublishPending;
            ++tasks;
        } else if (name == "--list-ports") {
            parsed.command = CliCommand::kListPorts;
            ++tasks;
        } else if (name == "--verify") {
            parsed.command = CliCommand::kVerify;
            ++tasks;
        } else {
            return Refuse(error, "unknown argument \"" + args[i] + "\"");
        }
    }
    if (parsed.station && tasks == 0) {
        return Refuse(error,
                      "--station needs the ports it runs on: --cli --station --port PORT,PORT,... or "
                      "--cli --station --all-ports");
    }
    if (!cli) return Refuse(error, "these options work only with --cli");
    if (tasks == 0) {
        return Refuse(error,
                      "--cli needs a task: --port PORT, --all-ports, --list-ports, --verify, --history, "
                      "--records-verify, --records-export or --publish-pending");
    }
    if (tasks > 1) {
        return Refuse(error,
                      "give only one of --port, --all-ports, --list-ports, --verify, --history, --records-verify, "
                      "--records-export and --publish-pending");
    }
    const bool withPort = parsed.command == CliCommand::kDownload;
    if (info && (!withPort || parsed.allPorts || parsed.ports.size() != 1))
        return Refuse(error, "--info goes with one --port");
    if (info) {
        // --info downloads nothing: what goes only with a download is named as the conflict.
        const char* clash = parsed.reportFile     ? "--report"
                            : parsed.station      ? "--station"
                            : parsed.confirm      ? "--confirm"
                            : confirmTimeoutGiven ? "--confirm-timeout"
                            : goneGiven           ? "--gone-after"
                            : parsed.maxHandsets  ? "--max-handsets"
                                                  : nullptr;
        if (clash) return Refuse(error, std::string(clash) + " does not go with --info: --info downloads nothing");
        parsed.command = CliCommand::kInfo;
    }
    if (parsed.json && parsed.command != CliCommand::kDownload && parsed.command != CliCommand::kInfo &&
        parsed.command != CliCommand::kHistory)
        return Refuse(error, "--json goes with a download (--port or --all-ports) or --info, or with --history");
    const bool readsRecords = parsed.command == CliCommand::kRecordsVerify || parsed.command == CliCommand::kHistory ||
                              parsed.command == CliCommand::kRecordsExport;
    if (parsed.recordsFile && parsed.noRecords) return Refuse(error, "give only one of --records and --no-records");
    if (parsed.noRecords && readsRecords)
        return Refuse(error, "--no-records does not go with --history, --records-verify or --records-export");
    if ((parsed.recordsFile || parsed.noRecords) && !readsRecords && parsed.command != CliCommand::kDownload &&
        parsed.command != CliCommand::kPublishPending)
        return Refuse(error, "--records and --no-records go with a download or a task on the records");
    if (!parsed.since.empty() && parsed.command != CliCommand::kHistory && parsed.command != CliCommand::kRecordsExport)
        return Refuse(error, "--since goes with --history or --records-export");
    if (parsed.reportFile && parsed.command != CliCommand::kDownload)
        return Refuse(error, "--report goes with a download (--port or --all-ports)");
    if (parsed.reportBom && !parsed.reportFile)
        return Refuse(error, "--report-bom and --no-report-bom go with --report");
    if (!parsed.skipPorts.empty() && !parsed.allPorts) return Refuse(error, "--skip-port goes with --all-ports");
    if ((parsed.station || parsed.confirm) && parsed.command != CliCommand::kDownload)
        return Refuse(error, "--station and --confirm go with a download (--port or --all-ports)");
    if (confirmTimeoutGiven && !parsed.Confirms())
        return Refuse(error, "--confirm-timeout goes with --station or --confirm");
    if ((goneGiven || parsed.maxHandsets) && !parsed.station)
        return Refuse(error, "--gone-after and --max-handsets go with --station");
    const bool publishing = parsed.command == CliCommand::kPublishPending;
    if ((parsed.publishUrl || parsed.publishCa) && !publishing && parsed.command != CliCommand::kDownload)
        return Refuse(error, "--publish and --publish-ca go with a download or --publish-pending");
    if ((parsed.publishUrl || parsed.publishCa || publishing) && parsed.noRecords)
        return Refuse(error, "--publish sends the stored records: it does not go with --no-records");
    if (parsed.publishCa && parsed.publishUrl && !parsed.publishUrl->starts_with("mqtts://"))
        return Refuse(error, "--publish-ca goes with an mqtts:// broker");
    if (languageGiven && !withPort && !readsRecords && !publishing)
        return Refuse(error, "--lang goes with --port, a task on the records or --publish-pending");
    if (parsed.waitSeconds && !withPort) return Refuse(error, "--wait goes with --port");
    if (parsed.quiet && parsed.command == CliCommand::kListPorts)
        return Refuse(error, "--quiet does not go with --list-ports");
    return true;
}

std::string CliUsage(bool windows) {
    std::string usage =
        "Usage: vexlor [--cli TASK [OPTIONS]] [--bench] [--help] [--version]\n"
        "\n"
        "Firmware upgrade tool for CDMA handsets on a serial port. The firmware load travels\n"
        "inside this program file. Without arguments the window opens.\n"
        "\n"
        "  --bench               the bench window instead: a table of ports, each flashing its\n"
        "                        own handset (or, in Station mode, handset after handset), with\n"
        "                        progress, counts and results, a report file and the totals\n"
        "\n"
        "Tasks:\n"
        "  --cli --port PORT     flash the load to the handset on PORT (COMn, or a device path\n"
        "                        such as /dev/ttyUSB0 or ./ttyX): the start-up checks, then one\n"
        "                        download.\n"
        "                        Each status is printed as a line \"[0xNNN] text\", a failure\n"
        "                        with a line under it that says why where the tool knows; then\n"
        "                        a summary line (bytes, time, average rate)\n"
        "  --cli --port PORT --port PORT...   (or --port PORT,PORT,...)\n"
        "  --cli --all-ports     flash every port at once (every port of the list, Bluetooth and\n"
        "                        infrared left out): one start-up and package check, then a run\n"
        "                        on each port; one port's failure never disturbs the others. A\n"
        "                        port named twice, or held by another vexlor, is refused and the\n"
        "                        others go on; one that another program holds is waited for (the\n"
        "                        holder named); a port where no handset answers is \"empty\" and\n"
        "                        fails nothing. On a terminal one live row per port, else one\n"
        "                        line per event prefixed with its port; a summary table at the end\n"
        "  --skip-port PORT      with --all-ports: leave PORT out (repeat it, or PORT,PORT,...);\n"
        "                        one not in the port list is warned about\n"
        "  --cli --station --port PORT,PORT,...   (or --all-ports [--skip-port PORT])\n"
        "                        a bench that runs until stopped: each port waits for a handset\n"
        "                        (looking for it quietly a few times a second), flashes it as\n"
        "                        above, waits up to --confirm-timeout for it to restart and answer\n"
        "                        again, and asks whoever answers for its ESN: the same ESN\n"
        "                        confirms the restart, another does not (\"another handset (ESN\n"
        "                        ...) answered\") and that handset is flashed in its turn, one\n"
        "                        without identity is confirmed by its answer alone; a port that\n"
        "                        leaves the list meanwhile is waited for. Then it says \"remove\n"
        "                        the handset\" and waits until nothing has answered for\n"
        "                        --gone-after seconds (or the port went away; for a handset not\n"
        "                        heard since its reset, only after the confirmation's time and\n"
        "                        --gone-after); only then is the next handset new: one left on\n"
        "                        the cable is never flashed twice, and one whose ESN the station\n"
        "                        flashed done is told (\"already flashed as handset N\") and\n"
        "                        waited out. A failed handset waits for its removal too, its\n"
        "                        failure shown until then. Each handset's ESN (8 hex digits) is\n"
        "                        in its lines, rows and records; a download-mode start has none,\n"
        "                        so swap such handsets only after the confirmation's time. One\n"
        "                        record per handset (JSON \"handset\"\n"
        "                        event, report row); a terminal shows a live row per port (waiting,\n"
        "                        flashing with bar and time left, confirming, remove the handset,\n"
        "                        failed: remove) with done/failed counts and a bench line with the\n"
        "                        totals and handsets per hour. SIGINT, SIGTERM or SIGHUP end it: a\n"
        "                        handset in flight is stopped (switch it off and on), then a summary\n"
        "                        table per port\n"
        "  --cli --port PORT --info [--json]\n"
        "                        check the load, find the handset, bring it to diagnostic mode\n"
        "                        if needed and print its mode, software version, platform, ESN\n"
        "                        and whether the load fits it (as one JSON object with --json);\n"
        "                        nothing is downloaded. A damaged load ends it with status 7\n"
        "  --cli --list-ports    list the serial ports: COM name, device, USB vendor:product,\n"
        "                        serial number and product where the device has them, and\n"
        "                        whether this user cannot open a port or another program holds it\n"
        "  --cli --verify        check the embedded firmware package (parameter block, load CRC,\n"
        "                        program image) and exit\n"
        "  --cli --history [ESN] [--since DATE] [--json]\n"
        "                        list the record store's records, newest first: all, or those of\n"
        "                        one handset (ESN: 8 hex digits or 11 decimal digits); --since a\n"
        "                        UTC date YYYY-MM-DD or time YYYY-MM-DDTHH:MM[:SS]; --json gives\n"
        "                        one JSON object per record\n"
        "  --cli --records-verify\n"
        "                        walk the record store's hash chain: prints the number of records\n"
        "                        and the head hash, or names the first record changed, removed or\n"
        "                        inserted (status 10)\n"
        "  --cli --records-export FILE [--since DATE]\n"
        "                        write the stored records to FILE: CSV for a name ending in .csv,\n"
        "                        JSON Lines for .jsonl, .ndjson or .json\n"
        "  --cli --publish-pending [--publish URL] [--publish-ca FILE] [--lang N]\n"
        "                        send the stored records that still wait for the factory's\n"
        "                        broker, in their order, and say how many went; a broker that\n"
        "                        cannot be reached, or refuses the login or the certificate, is\n"
        "                        told and the records keep waiting (status 11)\n"
        "\n"
        "Options:\n"
        "  --lang N              language of the texts: 0 English (default), 1 Traditional\n"
        "                        Chinese, 2 Simplified Chinese\n"
        "  --wait SECONDS        wait up to SECONDS for the port to appear and the handset to\n"
        "                        answer (for a handset switched on after the command)\n"
        "  -q, --quiet           print only the status lines\n"
        "  --log-level N         log level for this run: -1 no log, 0 the header and footer\n"
        "                        only, 1 failures and each run's outcome, 3 notes, 5 everything\n"
        "                        (overrides the settings file; turns the log on)\n"
        "  --log-dir DIR         write the day's log file into DIR (overrides the settings file;\n"
        "                        turns the log on)\n"
        "  --json                one JSON object per line for each event (see the README)\n"
        "  --report FILE         append one CSV row per handset run to FILE (a header when new);\n"
        "                        a regular file only. Columns: start, end, port, device,\n"
        "                        load_version, handset_version, status_code, status_text,\n"
        "                        bytes_sent, seconds, sequence, confirmed, platform, esn. A file\n"
        "                        with a header keeps its columns (those it lacks are told); one\n"
        "                        whose first line is no report's header is refused (status 9).\n"
        "                        A new file's lines end in CR LF (RFC 4180); rows appended to a\n"
        "                        file end as its header line does\n"
        "  --report-bom, --no-report-bom\n"
        "                        whether a new report file begins with a UTF-8 byte order mark,\n"
        "                        which Excel needs to read Chinese texts (default: no)\n"
        "  --records FILE        the record store to use (an SQLite file; made when missing)\n"
        "                        instead of the default one,\n"
        "                        $XDG_DATA_HOME/vexlor/records.db, else\n"
        "                        ~/.local/share/vexlor/records.db.\n"
        "                        Every handset's run is stored there before its last line is\n"
        "                        printed; one that cannot be stored is told and the exit status\n"
        "                        is 9. A store that cannot be opened or written, or a file that\n"
        "                        is no record store, stops the start (status 9) before any\n"
        "                        handset is touched\n"
        "  --no-records          store no records\n"
        "  --confirm             after the done status, wait for the handset to restart and answer\n"
        "                        again (in any mode) and record the mode and platform it answers\n"
        "                        with; one that does not is \"done, restart not confirmed\", a\n"
        "                        warning, not a failure (--station always does this)\n"
        "  --confirm-timeout S   how long the restart is waited for (default 60 seconds)\n"
        "  --gone-after S        --station: the port is free again once nothing has answered for\n"
        "                        S seconds (default 3)\n"
        "  --max-handsets N      --station: end by itself once N handsets are recorded (exit 0\n"
        "                        when none failed)\n"
        "  --publish URL         the factory's MQTT broker: mqtt://[user@]host[:port]/prefix, or\n"
        "                        mqtts://... for TLS (ports 1883 and 8883 by default). With a\n"
        "                        download each record goes out once it is stored (a broker that\n"
        "                        is away holds up no run: what waits goes later, in its order) to\n"
        "                        prefix/HOST/PORT (the station's host name; the port, COM3),\n"
        "                        QoS 1, not retained; the password comes from\n"
        "                        VEXLOR_MQTT_PASSWORD (default: \"publish\" in the settings file)\n"
        "  --publish-ca FILE     with mqtts://: the CA that signed the broker's certificate\n"
        "                        (default: \"publish_ca\" in the settings file, else the\n"
        "                        system's CAs)\n"
        "  -h, --help            show this text\n"
        "  --version             show the program version\n"
        "\n"
        "Progress is a bar on a terminal, and one line per 10% otherwise.\n"
        "\n"
        "Exit status:\n"
        "  0    the download is done on every port (the task succeeded); with --all-ports, on\n"
        "       every port where a handset answered, and on one at least; --station with\n"
        "       --max-handsets: no handset failed\n"
        "  1    a run ended with a failure status, or a port was refused\n"
        "  2    a bad command line\n"
        "  3    another vexlor runs on this port\n"
        "  4    the port's lock file cannot be created\n"
        "  5    the settings file exists but cannot be read\n"
        "  6    the language library cannot be loaded\n"
        "  7    this program carries no firmware load, or it is damaged\n"
        "  8    the port is not in the port list (or did not appear within --wait)\n"
        "  9    the report file cannot be written, or a run's row could not be written to it\n"
        "       (whatever the downloads did: the record is incomplete); likewise the record\n"
        "       store (--records)\n"
        "  10   --records-verify: a record was changed, removed or inserted\n"
        "  11   --publish-pending: records did not reach the broker (they still wait)\n"
        "  130  stopped by SIGINT, SIGTERM or SIGHUP (every run is stopped as the Stop button\n"
        "       stops it; the end of every --station)\n"
        "With several ports, 3 and 8 are a port's refusal and count as 1. 130 comes first, then 9.\n"
        "\n"
        "Several vexlor --cli runs work side by side on different ports; the window runs alone.\n"
        "Settings (log, port names) come from $VEXLOR_REGISTRY, else\n"
        "~/.config/vexlor/registry.reg, else /etc/vexlor/registry.reg.\n";
    if (!windows) return usage;
    // What a Windows user has in place of devices, files and signals.
    for (const auto& [posix, own] : kWindowsTerms) {
        const size_t at = usage.find(posix);
        if (at != std::string::npos) usage.replace(at, std::string_view(posix).size(), own);
    }
    return usage;
}
