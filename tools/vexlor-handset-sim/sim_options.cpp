// SPDX-License-Identifier: Apache-2.0
#include "sim_options.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>

#include "number_text.h"

namespace {

bool IsComName(const std::string& name) {
    if (name.size() < 4 || name.size() > 6 || name.compare(0, 3, "COM") != 0 || name[3] == '0') return false;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return false;
    }
    return true;
}

// A platform text byte must stand unchanged on the line: printable, not a frame byte.
bool IsPlatformText(const std::string& text) {
    if (text.size() > 8) return false;
    for (char c : text) {
        if (c < 0x20 || c > 0x7C) return false;  // 0x7D and 0x7E would be escaped
    }
    return true;
}

using Setter = std::function<std::string(const std::string&, SimOptions&)>;

struct Option {
    bool takesValue;
    Setter set;
};

std::string Number(const std::string& name, const std::string& text, uint64_t min, uint64_t max, uint64_t& value,
                   int base = 10) {
    if (ParseUnsigned(text, base, min, max, value)) return {};
    return name + " needs a number from " + std::to_string(min) + " to " + std::to_string(max) + ", not \"" + text +
           "\"";
}

// "A,B": two numbers, each within its range. False when the text is not so.
bool Pair(const std::string& text, uint64_t minA, uint64_t maxA, uint64_t minB, uint64_t maxB, uint64_t& a,
          uint64_t& b) {
    const size_t comma = text.find(',');
    return comma != std::string::npos && ParseUnsigned(text.substr(0, comma), 10, minA, maxA, a) &&
           ParseUnsigned(text.substr(comma + 1), 10, minB, maxB, b);
}

// A block number option: 1 or more.
Setter BlockSetter(const std::string& name, int HandsetConfig::*field) {
    return [name, field](const std::string& v, SimOptions& o) {
        uint64_t k = 0;
        std::string error = Number(name, v, 1, 0x7FFFFFFF, k);
        if (error.empty()) o.handset.*field = static_cast<int>(k);
        return error;
    };
}

bool ModeOf(const std::string& text, HandsetMode& mode) {
    if (text == "ds")
        mode = HandsetMode::DS;
    else if (text == "diag")
        mode = HandsetMode::DIAG;
    else if (text == "dl")
        mode = HandsetMode::DL;
    else
        return false;
    return true;
}

// A time in milliseconds of a handset's turn.
Setter TimeSetter(const std::string& name, uint32_t max, std::function<void(SimOptions&, uint32_t)> set) {
    return [name, max, set](const std::string& v, SimOptions& o) {
        uint64_t ms = 0;
        std::string error = Number(name, v, 0, max, ms);
        if (error.empty()) set(o, static_cast<uint32_t>(ms));
        return error;
    };
}

// The words of a --then value, split at blanks.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char c : text + " ") {
        if (c != ' ' && c != '\t') {
            word += c;
        } else if (!word.empty()) {
            words.push_back(word);
            word.clear();
        }
    }
    return words;
}

// True when options holds nothing but a handset's own knobs and times.
bool OnlyHandsetOptions(const SimOptions& options) {
    const SimOptions plain;
    return options.registerFile.empty() && options.comName.empty() && options.imageOut.empty() &&
           options.logFile.empty() && !options.onlyBaud && options.lineLatencyMs == plain.lineLatencyMs &&
           options.throttleBaud == 0 && options.pieceBytes == 0 && !options.silent && !options.exitAfterReset &&
           !options.help && !options.version && options.nextHandsets.empty();
}

Setter FlagSetter(bool HandsetConfig::*field, bool value) {
    return [field, value](const std::string&, SimOptions& o) {
        o.handset.*field = value;
        return std::string();
    };
}

const std::map<std::string, Option>& Options() {
    static const std::map<std::string, Option> options = {
        {"--mode",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (!ModeOf(v, o.handset.startMode)) return "--mode needs ds, diag or dl, not \"" + v + "\"";
              return std::string();
          }}},
        {"--commit-time",
         {true, TimeSetter("--commit-time", 600000, [](SimOptions& o, uint32_t ms) { o.times.commitMs = ms; })}},
        {"--restart-after",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (v == "never") {
                  o.times.restartAfterMs.reset();
                  o.times.neverRestarts = true;
                  return std::string();
              }
              uint64_t ms = 0;
              std::string error = Number("--restart-after", v, 0, 600000, ms);
              if (!error.empty()) return error + " or never";
              o.times.restartAfterMs = static_cast<uint32_t>(ms);
              o.times.neverRestarts = false;
              return error;
          }}},
        {"--restart-mode",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (!ModeOf(v, o.times.restartMode)) return "--restart-mode needs ds, diag or dl, not \"" + v + "\"";
              return std::string();
          }}},
        {"--unplug-after",
         {true, TimeSetter("--unplug-after", 3600000, [](SimOptions& o, uint32_t ms) { o.times.unplugAfterMs = ms; })}},
        {"--port-leaves",
         {false,
          [](const std::string&, SimOptions& o) {
              o.times.portLeaves = true;
              return std::string();
          }}},
        {"--swap-time",
         {true, TimeSetter("--swap-time", 3600000, [](SimOptions& o, uint32_t ms) { o.times.swapMs = ms; })}},
        {"--then",
         {true,
          [](const std::string& v, SimOptions& o) {
              SimOptions next;
              if (std::string error = ParseSimOptions(Words(v), next); !error.empty()) return "--then: " + error;
              if (!OnlyHandsetOptions(next)) {
                  return "--then takes only a handset's own options (its knobs and times), not \"" + v + "\"";
              }
              bool ownSwap = false;
              for (const std::string& word : Words(v)) ownSwap = ownSwap || word.rfind("--swap-time", 0) == 0;
              o.nextHandsets.push_back(BenchHandset{next.handset, next.times, ownSwap});
              return std::string();
          }}},
        {"--esn",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              const bool prefixed = v.rfind("0x", 0) == 0 || v.rfind("0X", 0) == 0;
              const std::string digits = prefixed ? v.substr(2) : v;
              const bool hex = std::all_of(digits.begin(), digits.end(),
                                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
              if (digits.empty() || digits.size() > 8 || !hex || !ParseUnsigned(digits, 16, 0, 0xFFFFFFFF, n)) {
                  return "--esn needs up to 8 hex digits (0x optional), not \"" + v + "\"";
              }
              o.handset.esn = static_cast<uint32_t>(n);
              return std::string();
          }}},
        {"--gsn-format",
         {true,
          [](const std::string& v, SimOptions& o) {
              using Format = HandsetConfig::GsnFormat;
              if (v == "prefixed")
                  o.handset.gsnFormat = Format::kPrefixed;
              else if (v == "hex")
                  o.handset.gsnFormat = Format::kHex;
              else if (v == "plain")
                  o.handset.gsnFormat = Format::kPlain;
              else
                  return "--gsn-format needs prefixed, hex or plain, not \"" + v + "\"";
              return std::string();
          }}},
        {"--reply-pattern",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              std::string error = Number("--reply-pattern", v, 1, 2, n);
              if (error.empty()) o.handset.replyPattern = static_cast<int>(n);
              return error;
          }}},
        {"--register",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (v.empty()) return std::string("--register needs a file name");
              o.registerFile = v;
              return std::string();
          }}},
        {"--com",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (!IsComName(v)) return "--com needs a name COM1 to COM999999, not \"" + v + "\"";
              o.comName = v;
              return std::string();
          }}},
        {"--image-out",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (v.empty()) return std::string("--image-out needs a file name");
              o.imageOut = v;
              return std::string();
          }}},
        {"--log",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (v.empty()) return std::string("--log needs a file name");
              o.logFile = v;
              return std::string();
          }}},
        {"--only-baud",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              std::string error = Number("--only-baud", v, 50, 4000000, n);
              if (error.empty()) o.onlyBaud = static_cast<uint32_t>(n);
              return error;
          }}},
        {"--line-latency",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              std::string error = Number("--line-latency", v, 0, 1000, n);
              if (error.empty()) o.lineLatencyMs = static_cast<uint32_t>(n);
              return error;
          }}},
        {"--throttle",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              std::string error = Number("--throttle", v, 300, 4000000, n);
              if (error.empty()) o.throttleBaud = static_cast<uint32_t>(n);
              return error;
          }}},
        {"--reply-pieces",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t bytes = 0, pause = 0;
              if (!Pair(v, 1, 4096, 0, 1000, bytes, pause)) {
                  return "--reply-pieces needs BYTES,MS with BYTES 1 to 4096 and MS 0 to 1000, not \"" + v + "\"";
              }
              o.pieceBytes = static_cast<uint32_t>(bytes);
              o.piecePauseMs = static_cast<uint32_t>(pause);
              return std::string();
          }}},
        {"--version-numbers",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t a = 0, b = 0;
              if (!Pair(v, 0, 255, 0, 255, a, b)) {
                  return "--version-numbers needs two numbers 0 to 255 as A,B, not \"" + v + "\"";
              }
              o.handset.versionNumbers[0] = static_cast<uint8_t>(a);
              o.handset.versionNumbers[1] = static_cast<uint8_t>(b);
              return std::string();
          }}},
        {"--platform",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (!IsPlatformText(v)) {
                  return "--platform needs up to 8 printable characters other than } and ~, not \"" + v + "\"";
              }
              o.handset.platform = v;
              return std::string();
          }}},
        {"--offline-after",
         {true,
          [](const std::string& v, SimOptions& o) {
              if (v == "never") {
                  o.handset.offlineAfterPolls.reset();
                  return std::string();
              }
              uint64_t n = 0;
              std::string error = Number("--offline-after", v, 0, 1000000, n);
              if (!error.empty()) return error + " or never";
              o.handset.offlineAfterPolls = static_cast<int>(n);
              return error;
          }}},
        {"--no-status-reply", {false, FlagSetter(&HandsetConfig::statusReply, false)}},
        {"--rf-mode",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              std::string error = Number("--rf-mode", v, 0, 1, n);
              if (error.empty()) o.handset.rfMode = static_cast<uint16_t>(n);
              return error;
          }}},
        {"--status-escapes",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              std::string error = Number("--status-escapes", v, 0, 7, n);
              if (error.empty()) o.handset.statusEscapes = static_cast<int>(n);
              return error;
          }}},
        {"--refuse-start",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              std::string error = Number("--refuse-start", v, 1, 0xFFFF, n, 0);
              if (error.empty()) o.handset.startStatus = static_cast<uint16_t>(n);
              return error;
          }}},
        {"--bad-block-status", {true, BlockSetter("--bad-block-status", &HandsetConfig::badBlockStatus)}},
        {"--bad-check-after-block", {true, BlockSetter("--bad-check-after-block", &HandsetConfig::badCheckAfterBlock)}},
        {"--unasked-response-in-block",
         {true, BlockSetter("--unasked-response-in-block", &HandsetConfig::unaskedResponseInBlock)}},
        {"--fail-final", {false, FlagSetter(&HandsetConfig::failFinal, true)}},
        {"--fail-nand", {false, FlagSetter(&HandsetConfig::failNand, true)}},
        {"--disconnect-after",
         {true,
          [](const std::string& v, SimOptions& o) {
              uint64_t n = 0;
              std::string error = Number("--disconnect-after", v, 1, UINT64_MAX, n);
              if (error.empty()) o.handset.disconnectAfterBytes = n;
              return error;
          }}},
        {"--silent",
         {false,
          [](const std::string&, SimOptions& o) {
              o.silent = true;
              return std::string();
          }}},
        {"--exit-after-reset",
         {false,
          [](const std::string&, SimOptions& o) {
              o.exitAfterReset = true;
              return std::string();
          }}},
        {"--version",
         {false,
          [](const std::string&, SimOptions& o) {
              o.version = true;
              return std::string();
          }}},
        {"--help",
         {false,
          [](const std::string&, SimOptions& o) {
              o.help = true;
              return std::string();
          }}},
    };
    return options;
}

}  // namespace

bool SimOptions::HearsAt(std::optional<uint32_t> rate) const {
    if (!rate) return false;
    if (onlyBaud) return *rate == *onlyBaud;
    return *rate == 115200 || *rate == 230400 || *rate == 460800;
}

std::string ParseSimOptions(const std::vector<std::string>& args, SimOptions& options) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i] == "-h" ? "--help" : args[i];
        std::string value;
        bool inlineValue = false;
        if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            inlineValue = true;
        }
        const auto found = Options().find(name);
        if (found == Options().end()) return "unknown argument \"" + args[i] + "\"";
        const Option& option = found->second;
        if (option.takesValue && !inlineValue) {
            if (i + 1 >= args.size()) return name + " needs a value";
            value = args[++i];
        } else if (!option.takesValue && inlineValue) {
            return name + " takes no value";
        }
        if (std::string error = option.set(value, options); !error.empty()) return error;
    }
    if (options.help || options.version) return {};
    // A later handset is swapped in as the first one is, unless its own --then says otherwise.
    for (BenchHandset& next : options.nextHandsets) {
        if (!next.ownSwapTime) next.times.swapMs = options.times.swapMs;
    }
    if (options.registerFile.empty() != options.comName.empty()) return "--register and --com go together";
    return {};
}

std::string SimHelpText() {
    return R"help(Usage: vexlor-handset-sim [OPTION]...
An emulated CDMA handset on a pseudo-terminal, for tests, demonstrations and training.

It opens a pseudo-terminal, prints the path of its terminal (e.g. /dev/pts/7) as the first line
on standard output, and answers on it as a handset does, in AT command mode (DS), diagnostic mode
(DIAG) or download mode (DL). It runs until SIGTERM, SIGINT or SIGHUP (exit status 0; 1 when
the terminal or the settings file fails, 2 for a bad command line). Diagnostics go to standard
error. Everything it does follows from its input and options: no randomness.

Modes and replies:
  DS    echoes every byte; a line ending in a carriage return that holds "at" is answered
        with "\r\nOK\r\n" ("at", "at$qcdmg") or "\r\nERROR\r\n"; "at$qcdmg" switches to DIAG;
        "at+gsn" is answered with the ESN on a line of its own (--gsn-format), then OK.
  DIAG  frames end with 0x7E and carry no opening flag, in both directions. Known requests:
        version request 00 (platform text at reply bytes 39..46), version query 4B 00 01 00
        (version numbers at reply bytes 6 and 7), phone status 0C (ESN at bytes 4-7, low byte
        first; RF mode word at bytes 8-9, status word at bytes 32-33), quiet requests 1F FF 00, 60 00, 73 00.. (echoed), offline
        command 29 01 00 (echoed), change to DL 3A (echoed, then DL mode). Anything else,
        the detection packet among it, gets the bad-command reply of --reply-pattern.
  DL    frames open and close with 0x7E. No-operation 06 -> ACK 02; reset 0A -> ACK, then the
        start mode again; 70 00 start, 70 02 end, 70 04 write to NAND -> 70 + status word;
        70 01 write packets (520 bytes) are stored in the image and answered only at address 0
        and when they complete a 0x20000-byte block counted from 0x200. Unknown requests are
        ignored (so the detection packet gets only the ACK of its no-operation).
  Frames with a bad CRC are never answered.

Options:
  --mode ds|diag|dl          start mode, also the mode after a reset (default diag)
  --reply-pattern 1|2        DIAG answer to unknown requests and the detection packet:
                             1: 14, then the request frame as received (default);
                             2: 13, then the request payload
  --version-numbers A,B      reply bytes 6 and 7 of the version query, 0..255 each
                             (default 1,2: the tool reads version "12")
  --platform TEXT            platform text of the version request reply, up to 8 printable
                             characters, no } or ~ (default MSM5105; CORVANE1 for a Corvane)
  --offline-after K|never    after the offline command, status replies report online K times,
                             then offline; never: always online (default 1)
  --esn HEX                  the handset's ESN (electronic serial number), up to 8 hex digits,
                             0x optional: status reply bytes 4..7, low byte first (escaped on
                             the line where a byte is 7D or 7E), and the answer to AT+GSN; the
                             same after its restart. Default: 9F0000NN for handset NN of the
                             in-process line, 9FTTTTNN from the terminal's number TTTT in the
                             program, so no two simulated handsets share one
  --gsn-format prefixed|hex|plain
                             how AT+GSN gives it: "+GSN: 8F2A10C4" (default), "0x8F2A10C4"
                             or "8F2A10C4", each followed by OK
  --no-status-reply          answer the phone status request as an unknown request
  --rf-mode 0|1              RF mode word of status replies; offline is reported as
                             RF 0 + status 6 or RF 1 + status 2 (default 1)
  --status-escapes N         make status reply bytes 1..N equal 0x7E, sent as 7D 5E, which
                             shifts the status words on the line (0..7, default 0); from 4
                             on they stand in for the ESN's bytes
  --refuse-start STATUS      answer start of download with this status, e.g. 0x1002 (the ACC
                             refusal) or 0x0001 (decimal or 0x hex, 1..0xFFFF)
  --bad-block-status K       answer the packet completing block K with status 0x0001; block 1
                             is the 0x20000 bytes from 0x200, block 2 the next, ...
                             (a last, shorter block is never answered: no effect there)
  --bad-check-after-block K  answer the no-operation that follows block K with NAK 03 00 01
  --unasked-response-in-block K
                             after the first packet of block K, send an answer (70 00 00)
                             nobody asked for
  --fail-final               answer end of download with status 0x0001
  --fail-nand                answer write to NAND with status 0x0001
  --commit-time MS           answer the write to NAND MS milliseconds after it came, as a
                             handset committing the load does (0..600000, default 0)
  --disconnect-after N       once N load bytes (write packet data, repeats included) have
                             come in, close the terminal and exit: the tool's port then reads
                             end-of-file and fails writes; the last packet is not answered
  --silent                   read everything, never answer
  --only-baud N              answer only while the line rate the tool set is N (read from the
                             terminal at each read); at any other rate the bytes are noise and
                             are dropped, with any half-received frame. Without it the
                             handset hears the rates 115200, 230400 and 460800 only
  --line-latency MS          model a USB adapter's buffer: bytes are taken MS milliseconds after
                             they arrive, and count only if the line rate was one the handset
                             hears both when they arrived and when they were taken (a rate
                             changed under bytes still on their way garbles them; 0..1000,
                             default 20)
  --throttle BAUD            model a real line of BAUD bits/s, 10 bits a byte: after each read
                             the simulator waits the bytes' line time before answering, and
                             each answer waits its own line time before it is written whole
  --reply-pieces BYTES,MS    send every answer in pieces of BYTES bytes with MS milliseconds
                             between them, as a USB adapter's latency timer or a handset that
                             pauses between echo and answer hands them over (e.g. 4,90)
  --register FILE --com COMn add "<terminal path>"="COMn" to FILE (a .reg settings file) under
                             [HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM], creating the
                             file (with its header) or the key if missing; other lines stay,
                             older entries of this path or of COMn are replaced; the entry is
                             removed again at exit
  --image-out FILE           write the received load (image bytes in address order, 0 where no
                             packet wrote; the first packet always carries 512 bytes) to FILE
                             at each write to NAND and each reset (before answering them) and
                             at exit; written whole through FILE.part and a rename; a start of
                             download begins a new image
  --exit-after-reset         exit (status 0) after acknowledging a reset, once the tool has
                             read the acknowledgement (waiting at most 1 s)
  --log FILE                 trace every byte received and sent and each step, one line each,
                             with the milliseconds since start (FILE is replaced at start):
                             "<ms> rx <n> bytes: 61 74 ..", "<ms> tx ..", "<ms> line rate <N>",
                             "<ms> garbled: <n> bytes at line rate <N>", "<ms> mode DIAG -> DL",
                             ...
  -h, --help                 show this help
  --version                  show the program's version

A bench: handset after handset on one cable
  --restart-after MS|never   after acknowledging a reset, stay silent MS milliseconds (the
                             restart), then answer in the --restart-mode with the new software;
                             never: never answer again. Without it the handset is back in its
                             start mode at once
  --restart-mode ds|diag|dl  the mode after such a restart (default ds: AT data mode)
  --unplug-after MS          the technician takes the handset off the cable MS milliseconds after
                             its turn ended: its restart (its reset, if it never restarts), or
                             its refusal of a download step (the answer of a fault knob such as
                             --fail-nand; a NAND write's after the commit time). Until then it
                             stays, however long; then it is silent (the terminal stays: it is
                             the cable's adapter). Without it the handset stays for good
  --port-leaves              the port leaves the port list while the handset restarts (its
                             --register entry is removed at the reset and written again when
                             it answers), as a handset's own USB port does
  --swap-time MS             the next handset is plugged in MS milliseconds after this one was
                             taken off (default 1000); a --then handset without its own takes
                             the first handset's
  --then "OPTIONS"           the next handset of the sequence (repeat for each), with its own
                             knobs and times: the options of this list that describe a handset
                             (--mode, --platform, --fail-nand, --restart-after, --unplug-after,
                             ...), split at blanks. Each one starts in its own start mode with an
                             empty image; the first handset is the one of the options outside
                             --then. After the last one is taken off, nothing answers any more.
  --image-out names the first handset's image; the image of handset N (2, 3, ...) goes to FILE.N.
  The trace notes each step: "handset N plugged in (...)", "restarting", "restarted in DS mode",
  "unplugged", "no more handsets".
  Example: --restart-after 800 --unplug-after 1500 --swap-time 500
             --then "--fail-nand --unplug-after 600" --then "--platform CORVANE1 --restart-after never"

The line:
  The simulator keeps a descriptor of the terminal's own slave side open, so the tool may close
  and reopen the port (it does at each rate change and mode switch) without the simulator
  seeing end-of-file. Like a handset on a cable whose PC end was closed, it cannot tell that the
  port closed: it keeps its mode and state and answers whatever comes next. An answer nobody
  reads waits at most 2 s for room in the terminal, then is dropped (noted in the trace).
  Rates are read from the terminal with tcgetattr: the master side sees the rate the tool set.
)help";
}
