#include "pack_command.h"

#include <cerrno>
#include <sys/stat.h>

#include "output_file.h"
#include "package/load_area.h"
#include "package/package_layout.h"
#include "package/package_writer.h"
#include "platform/read_only_file.h"
#include "platform/sys_error.h"

namespace {

// Opens a regular file for reading; false with error set otherwise.
bool OpenInput(const std::string& path, const char* what, platform::ReadOnlyFile& file, std::string& error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = std::string("cannot open the ") + what + " " + path + ": " + platform::SysErrorText(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = std::string("the ") + what + " " + path + " is not a regular file";
        return false;
    }
    if (!file.Open(path)) {
        error = std::string("cannot open the ") + what + " " + path + ": " + platform::SysErrorText(errno);
        return false;
    }
    return true;
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

bool RunPack(const PackOptions& options, std::string& error) {
    if (options.version.size() > kParamVersionMaxText) {
        error = "the version text has " + std::to_string(options.version.size()) +
                " characters; at most 47 fit the parameter block";
        return false;
    }
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
