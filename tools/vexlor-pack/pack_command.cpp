// SPDX-License-Identifier: Apache-2.0
#include "pack_command.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "app/program_mark.h"
#include "engine/version_text.h"
#include "output_file.h"
#include "pack_signing.h"
#include "package/dl_parameter.h"
#include "package/load_area.h"
#include "package/package_checks.h"
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

// The version text goes into a fixed field, is shown to the technician and gives the version
// check its two characters: it must fit and be printable ASCII (a character of several bytes
// would be cut in two by the check). Empty when it is acceptable.
std::string CheckVersionText(const std::string& version) {
    if (version.empty()) {
        return "--version: the version text is empty; the version check needs the two characters before its first "
               "full stop";
    }
    for (size_t i = 0; i < version.size(); ++i) {
        const auto byte = static_cast<unsigned char>(version[i]);
        if (byte >= 0x20 && byte < 0x7F) continue;
        char code[8];
        std::snprintf(code, sizeof code, "0x%02X", byte);
        const std::string where = std::string(code) + " at byte " + std::to_string(i + 1) + " (counting from 1)";
        return byte < 0x80 ? "--version: control character " + where +
                                 "; the version text takes no bytes below 0x20 and no 0x7F"
                           : "--version: " + where +
                                 " is not printable ASCII; the version text takes the characters "
                                 "0x20 to 0x7E only";
    }
    if (version.size() > kParamVersionMaxText) {
        return "--version: the version text is " + std::to_string(version.size()) + " characters; at most " +
               std::to_string(kParamVersionMaxText) + " fit the parameter block";
    }
    return {};
}

// The same file by path, link or inode: writing OUT would destroy the input it is made from.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

enum class MarkSearch { kFound, kMissing, kReadError };

// Looks for the program mark in the whole file, a block at a time: programs run to tens of MB.
// The last mark-length-minus-one bytes of each block are kept in front of the next one, so a mark
// across a block boundary is found too. readError is the errno of a failed read.
MarkSearch FindProgramMark(const platform::ReadOnlyFile& file, int& readError) {
    constexpr size_t kBlockSize = size_t{64} * 1024;
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
    case PackResult::kVersionTooLong: return "the version text is over 47 characters";
    case PackResult::kWriteFailed: return "the output could not be written";
    case PackResult::kOk: break;
    }
    return "";
}

}  // namespace

bool RunPack(const PackOptions& options, std::string& error, PackReport& report, const std::atomic<bool>* stop) {
    error = CheckVersionText(options.version);
    if (!error.empty()) return false;
    platform::ReadOnlyFile program;
    platform::ReadOnlyFile load;
    if (!OpenInput(options.programPath, "program", program, error)) return false;
    if (!OpenInput(options.loadPath, "load", load, error)) return false;
    for (const auto& [input, what] :
         {std::pair{&options.programPath, "--program"}, std::pair{&options.loadPath, "--load"}}) {
        if (SameFile(options.outPath, *input)) {
            error = "refused: --out " + options.outPath + " is the same file as " + what + " " + *input +
                    "; writing it would destroy that file. Name another output file";
            return false;
        }
    }

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

    // Signing reads the packed program from a file of its own and writes OUT from it, so OUT is
    // only ever the signed program.
    if (options.sign && !CheckSigningSettings(error)) return false;
    const std::string packedPath = options.sign ? UnusedPathBeside(options.outPath + ".unsigned") : options.outPath;
    OutputFile out(stop);
    if (!out.Create(packedPath, error)) return false;
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
        if (out.Stopped()) {
            error = "stopped by a signal; " + options.outPath + " was not written";
        } else if (result == PackResult::kWriteFailed && !out.WriteProblem().empty()) {
            error = out.WriteProblem();
        } else {
            error = DescribeFailure(result);
        }
        return false;
    }
    if (!out.Commit(error)) return false;
    if (options.sign) {
        const bool signedOut = SignProgram(packedPath, options.outPath, error, stop);
        std::error_code ignored;
        std::filesystem::remove(packedPath, ignored);
        if (!signedOut) return false;
    }
    report.droppedSignature = writer.DroppedSignature();
    std::error_code sizeError;
    report.programSize = std::filesystem::file_size(options.outPath, sizeError);
    report.loadSize = loadSize;
    report.handsetVersion = NewVersionOf(options.version);
    return true;
}

std::string PackReport::Text(const PackOptions& options) const {
    std::string text = "Wrote " + options.outPath + ": " + std::to_string(programSize) + " bytes, carrying a load of " +
                       std::to_string(loadSize) + " bytes, version \"" + options.version + "\".\n" +
                       "The load fits handsets whose software version reads " + handsetVersion +
                       " (the version check compares the two characters before the first full stop of the version "
                       "text with the two numbers the handset reports).\n";
    const bool digits = handsetVersion.size() == 2 && std::isdigit(static_cast<unsigned char>(handsetVersion[0])) &&
                        std::isdigit(static_cast<unsigned char>(handsetVersion[1]));
    if (!digits) {
        text += "Note: a handset reports its version in digits; \"" + handsetVersion +
                "\" is none, so every handset will refuse this load as a version mismatch.\n";
    }
    if (options.sign)
        text += "Signed " + options.outPath + " (Authenticode) with the certificate in VEXLOR_SIGN_PKCS12.\n";
    return text;
}

std::string PackReport::SignatureNote(const PackOptions& options) const {
    if (!droppedSignature || options.sign) return {};
    return "vexlor-pack: note: " + options.programPath + " carries an Authenticode signature, and " + options.outPath +
           " does not: a signature covers the program as signed, and packing changes it. Sign the packed "
           "program again: vexlor-pack --sign (VEXLOR_SIGN_PKCS12, VEXLOR_SIGN_PASSWORD), or your signing tool.\n";
}

int PackAndCheck(const PackOptions& options, PackReport& report, const std::atomic<bool>* stop, std::FILE* err) {
    std::string error;
    if (!RunPack(options, error, report, stop)) {
        std::fprintf(err, "vexlor-pack: %s\n", error.c_str());
        return stop && stop->load() ? 130 : 1;
    }
    platform::ReadOnlyFile packed;
    CDLParameter parameters;
    if (!packed.Open(options.outPath) || RunPackageChecks(packed, parameters, nullptr) != 1) {
        std::fprintf(err, "vexlor-pack: the packed program %s fails its check\n", options.outPath.c_str());
        return 1;
    }
    return 0;
}
