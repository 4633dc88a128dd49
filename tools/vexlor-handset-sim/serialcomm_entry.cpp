// SPDX-License-Identifier: Apache-2.0
#include "serialcomm_entry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

#include "platform/settings_text.h"

namespace {

constexpr std::string_view HEADER = "Windows Registry Editor Version 5.00";
constexpr std::string_view KEY = "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM";

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The key path of a "[...]" line, else nullopt.
std::optional<std::string_view> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return std::nullopt;
    return line.substr(1, line.size() - 2);
}

// Reads a quoted .reg string at text[pos] ('"' expected); advances pos past the closing quote.
std::optional<std::string> ReadQuoted(std::string_view text, size_t& pos) {
    if (pos >= text.size() || text[pos] != '"') return std::nullopt;
    std::string value;
    for (++pos; pos < text.size(); ++pos) {
        const char c = text[pos];
        if (c == '"') {
            ++pos;
            return value;
        }
        if (c == '\\' && pos + 1 < text.size()) ++pos;
        value.push_back(text[pos]);
    }
    return std::nullopt;
}

struct Entry {
    std::string name;
    std::string data;  // empty unless a quoted string
};

std::optional<Entry> EntryOf(std::string_view line) {
    line = Trim(line);
    size_t pos = 0;
    auto name = ReadQuoted(line, pos);
    if (!name || pos >= line.size() || line[pos] != '=') return std::nullopt;
    ++pos;
    Entry entry{*name, {}};
    if (auto data = ReadQuoted(line, pos)) entry.data = *data;
    return entry;
}

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') quoted.push_back('\\');
        quoted.push_back(c);
    }
    return quoted + "\"";
}

struct Lines {
    std::vector<std::string> lines;
    std::string eol = "\n";
};

Lines SplitLines(std::string_view text) {
    Lines result;
    size_t start = 0;
    bool first = true;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        const bool hasNewline = end != std::string_view::npos;
        if (!hasNewline) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
            if (first) result.eol = "\r\n";
        }
        first = false;
        result.lines.emplace_back(line);
        start = hasNewline ? end + 1 : end;
    }
    return result;
}

std::string JoinLines(const Lines& lines) {
    std::string text;
    for (const std::string& line : lines.lines) text += line + lines.eol;
    return text;
}

bool IsSerialCommKey(std::string_view line) {
    const auto section = SectionOf(line);
    return section && Lower(Trim(*section)) == Lower(KEY);
}

// Removes the key's entries for which drop is true; returns the index after the first key's
// last value line (or after its header), or nullopt when there is no such key.
std::optional<size_t> DropEntries(Lines& lines, const std::function<bool(const Entry&)>& drop) {
    std::optional<size_t> insertAt;
    bool inKey = false;
    bool inFirstKey = false;
    for (size_t i = 0; i < lines.lines.size();) {
        const std::string& line = lines.lines[i];
        if (SectionOf(line)) {
            inKey = IsSerialCommKey(line);
            inFirstKey = inKey && !insertAt;
            if (inFirstKey) insertAt = i + 1;
            ++i;
            continue;
        }
        if (inKey) {
            if (auto entry = EntryOf(line)) {
                if (drop(*entry)) {
                    lines.lines.erase(lines.lines.begin() + static_cast<ptrdiff_t>(i));
                    continue;
                }
                if (inFirstKey) insertAt = i + 1;
            }
        }
        ++i;
    }
    return insertAt;
}

// Runs edit on the file's text under the lock and writes the result back.
std::string EditFile(const std::string& file, const std::function<std::string(const std::string&)>& edit) {
    const std::string lockPath = file + ".lock";
    const int lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lockFd < 0) return "cannot open " + lockPath + ": " + std::strerror(errno);
    // Other simulators hold the lock for a moment only; give up after 5 s rather than hang.
    bool locked = false;
    for (int attempt = 0; attempt < 500 && !locked; ++attempt) {
        locked = flock(lockFd, LOCK_EX | LOCK_NB) == 0;
        if (!locked) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (!locked) {
        close(lockFd);
        return "cannot lock " + lockPath + ": held by another process";
    }

    std::string error;
    std::string text;
    if (FILE* in = std::fopen(file.c_str(), "rb")) {
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) text.append(buffer, n);
        if (std::ferror(in)) error = "cannot read " + file;
        std::fclose(in);
    } else if (errno != ENOENT) {
        error = "cannot open " + file + ": " + std::strerror(errno);
    }
    if (error.empty()) {
        // Edited as UTF-8 and written back as it was found: a UTF-16 file (regedit's export)
        // stays UTF-16, with or without its byte order mark.
        const platform::SettingsEncoding encoding = platform::DetectSettingsEncoding(text);
        const std::string updated =
            platform::SettingsTextFromUtf8(edit(platform::SettingsTextToUtf8(text, encoding)), encoding);
        const std::string temp = file + ".part";
        FILE* out = std::fopen(temp.c_str(), "wb");
        if (!out) {
            error = "cannot create " + temp + ": " + std::strerror(errno);
        } else {
            const bool written = std::fwrite(updated.data(), 1, updated.size(), out) == updated.size();
            if (std::fclose(out) != 0 || !written) {
                error = "cannot write " + temp;
            } else if (std::rename(temp.c_str(), file.c_str()) != 0) {
                error = "cannot rename " + temp + " to " + file + ": " + std::strerror(errno);
            }
            if (!error.empty()) std::remove(temp.c_str());
        }
    }
    flock(lockFd, LOCK_UN);
    close(lockFd);
    return error;
}

}  // namespace

std::string WithSerialCommEntry(std::string_view text, const std::string& path, const std::string& com) {
    Lines lines = SplitLines(text);
    const std::string comLower = Lower(com);
    const auto insertAt =
        DropEntries(lines, [&](const Entry& e) { return e.name == path || Lower(e.data) == comLower; });
    const std::string entry = Quoted(path) + "=" + Quoted(com);
    if (insertAt) {
        lines.lines.insert(lines.lines.begin() + static_cast<ptrdiff_t>(*insertAt), entry);
        return JoinLines(lines);
    }
    const bool blank =
        std::all_of(lines.lines.begin(), lines.lines.end(), [](const std::string& l) { return Trim(l).empty(); });
    if (blank) lines.lines = {std::string(HEADER)};
    if (!lines.lines.empty() && !Trim(lines.lines.back()).empty()) lines.lines.emplace_back();
    lines.lines.push_back("[" + std::string(KEY) + "]");
    lines.lines.push_back(entry);
    return JoinLines(lines);
}

std::string WithoutSerialCommEntry(std::string_view text, const std::string& path, const std::string& com) {
    Lines lines = SplitLines(text);
    DropEntries(lines, [&](const Entry& e) { return e.name == path && e.data == com; });
    return JoinLines(lines);
}

std::string RegisterSerialPort(const std::string& file, const std::string& path, const std::string& com) {
    return EditFile(file, [&](const std::string& text) { return WithSerialCommEntry(text, path, com); });
}

std::string UnregisterSerialPort(const std::string& file, const std::string& path, const std::string& com) {
    return EditFile(file, [&](const std::string& text) { return WithoutSerialCommEntry(text, path, com); });
}
