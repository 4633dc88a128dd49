// SPDX-License-Identifier: Apache-2.0
#include "pack_command.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <vector>
#include <filesystem>
#include <system_error>

#include "app/program_mark.h"
#include "output_file.h"
#include "package/load_area.h"
#include "package/package_layout.h"
#include "package/package_writer.h"
#include "platform/read_only_file.h"
#include "platform/sys_error.h"

namespace {

// Opens a regular file for reading; false with error set otherwise.
bool OpenInput(const std::string& path, const char* what, platform::ReadOnlyFile& file, std::string& error) {
    std::error_code statusError;
    const std::filesystem::file_status status = std::filesystem::status(path, statusError);
    if (statusError) {
        error = std::string("cannot open the ") + what + " " + path + ": " + statusError.message();
        return false;
    }
    if (!std::filesystem::is_regular_file(status)) {
        error = std::string("the ") + what + " " + path + " is not a regular file";
        return false;
    }
    if (!file.Open(path)) {
        error = std::string("cannot open the ") + what + " " + path + ": " + platform::SysErrorPhrase(errno);
        return false;
    }
    return true;
}

// The version text goes into a fixed field and is shown to the technician: it must fit and be
// plain text. Empty when it is acceptable.
std::string CheckVersionText(const std::string& version) {
    for (size_t i = 0; i < version.size(); ++i) {
        const auto byte = static_cast<unsigned char>(version[i]);
        if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "0x%02X", byte);
            return "--version: control character " + std::string(code) + " at byte " + std::to_string(i + 1) +
                   " (counting from 1); the version text takes no bytes below 0x20 and no 0x7F";
        }
    }
    if (version.size() > kParamVersionMaxText) {
        return "--version: the version text is " + std::to_string(version.size()) + " bytes; at most " +
               std::to_string(kParamVersionMaxText) + " bytes (UTF-8) fit the parameter block";
    }
    return {};
}

enum class MarkSearch { kFound, kMissing, kReadError };

// Looks for the program mark in the whole file, a block at a time: programs run to tens of MB.
// The last mark-length-minus-one bytes of each block are kept in front of the next one, so a mark
// across a block boundary is found too. readError is the errno of a failed read.
MarkSearch FindProgramMark(const platform::ReadOnlyFile& file, int& readError) {
    constexpr size_t kBlockSize = 64 * 1024;
    const std::string mark = ProgramMark();
    const std::boyer_moore_horspool_searcher searcher(mark.begin(), mark.end());
    const size_t keep = mark.size() - 1;
    std::vector<char> buffer(keep + kBlockSize);
    size_t held = 0;
    int64_t offset = 0;
    for (;;) {
        const int64_t n = file.ReadAt(offset, buffer.data() + held, kBlockSize);
        if (n < 0) {
            readError = errno;
            return MarkSearch::kReadError;
        }
        if (n == 0) return MarkSearch::kMissing;
        offset += n;
        held += static_cast<size_t>(n);
        const auto end = buffer.begin() + static_cast<std::ptrdiff_t>(held);
        if (std::search(buffer.begin(), end, searcher) != end) return MarkSearch::kFound;
        const size_t carried = std::min(held, keep);
        std::copy(end - static_cast<std::ptrdiff_t>(carried), end, buffer.begin());
        held = carried;
    }
}

const char* DescribeFailure(PackResult result) {
    switch (result) {
        case PackResult::kImageUnreadable: return "the program could not be read whole";
        case PackResult::kLoadUnreadable: return "the load could not be read whole (did it change meanwhile?)";
        case PackResult::kLoadSizeRefused: return "the load size cannot be stored";
        case PackResult::kVersionTooLong: return "the version text is over 47 bytes (UTF-8)";
        case PackResult::kWriteFailed: return "the output could not be written";
        case PackResult::kOk: break;
    }
    return "";
}

}  // namespace

bool RunPack(const PackOptions& options, std::string& error) {
    error = CheckVersionText(options.version);
    if (!error.empty()) return false;
    platform::ReadOnlyFile program;
    platform::ReadOnlyFile load;
    if (!OpenInput(options.programPath, "program", program, error)) return false;
    if (!OpenInput(options.loadPath, "load", load, error)) return false;

    const int64_t loadLength = load.Length();
    if (loadLength < 0) {
        error = "cannot read the size of the load " + options.loadPath;
        return false;
    }
    if (CheckLoadSize(static_cast<uint64_t>(loadLength)) != LoadSizeProblem::kNone) {
        error = "refused: " + std::string(DescribeLoadSizeProblem(static_cast<uint64_t>(loadLength))) + " (" +
                std::to_string(loadLength) + " bytes)";
        return false;
    }
    if (CarriesPackage(program)) {
        error = "refused: the program " + options.programPath + " already carries a package";
        return false;
    }
    // Last of the checks: it reads the whole program.
    int readError = 0;
    switch (FindProgramMark(program, readError)) {
        case MarkSearch::kFound: break;
        case MarkSearch::kMissing:
            error = options.programPath +
                    " is not a vexlor program (no vexlor program mark found); --program takes the vexlor program "
                    "to carry the load";
            return false;
        case MarkSearch::kReadError:
            error = "cannot read the program " + options.programPath + ": " + platform::SysErrorPhrase(readError);
            return false;
    }

    OutputFile out;
    if (!out.Create(options.outPath, error)) return false;
    PackageWriter writer(out);
    PackageValues values;
    values.version = options.version;
    values.value16 = options.value16;
    values.value32a = options.value32a;
    values.value32b = options.value32b;
    values.value32c = options.value32c;
    const auto loadSize = static_cast<uint32_t>(loadLength);
    PackResult result = writer.CopyImage(program);
    if (result == PackResult::kOk) result = writer.AppendLoadArea(load, loadSize);
    if (result == PackResult::kOk) result = writer.AppendParameterBlock(values, loadSize);
    if (result != PackResult::kOk) {
        error = DescribeFailure(result);
        return false;
    }
    return out.Commit(error);
}
