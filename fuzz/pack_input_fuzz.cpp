// SPDX-License-Identifier: Apache-2.0
// vexlor-pack's argument and input checks, run in-process: the command line parser over
// arbitrary arguments, then the packing of an arbitrary program and load with the version text
// and values the arguments gave.
//
// Checks: a command line is accepted only with every required option, and a refusal says why;
// packing succeeds exactly when the version text fits and holds no control character, the load
// size can be stored, and the program holds the vexlor program mark and does not already carry a
// package; a refusal leaves no output behind; an output reads back through the program's own
// package reader (parameter block, load CRC, image self-check, the load chunk by chunk equal to
// the input) and cannot itself be packed again.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/program_mark.h"
#include "fuzz_support.h"
#include "pack_command.h"
#include "pack_options.h"
#include "package/dl_parameter.h"
#include "package/load_merger.h"
#include "package/package_layout.h"
#include "package/package_writer.h"
#include "platform/read_only_file.h"

namespace {

const char* const kWords[] = {"--program",  "--load",     "--version",  "--out",  "--value16",
                              "--value32a", "--value32b", "--value32c", "--help", "-h"};

std::vector<std::string> Arguments(FuzzedDataProvider& input) {
    std::vector<std::string> args(input.ConsumeIntegralInRange<size_t>(0, 12));
    for (std::string& arg : args) {
        const size_t pick = input.ConsumeIntegralInRange<size_t>(0, std::size(kWords) + 1);
        if (pick < std::size(kWords)) {
            arg = kWords[pick];
        } else if (pick == std::size(kWords)) {
            arg = input.ConsumeRandomLengthString(64);
        } else {
            arg = std::string(kWords[input.ConsumeIntegralInRange<size_t>(0, 7)]) + "=" +
                  input.ConsumeRandomLengthString(64);
        }
    }
    return args;
}

void CheckParsed(const std::vector<std::string>& args, bool parsed, const PackOptions& options,
                 const std::string& error) {
    if (!parsed) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    if (options.showHelp || options.showVersion) return;
    FUZZ_CHECK(!options.programPath.empty() && !options.loadPath.empty() && !options.outPath.empty());
    FUZZ_CHECK(
        std::any_of(args.begin(), args.end(), [](const std::string& a) { return a.rfind("--version", 0) == 0; }));
}

// A version text vexlor-pack takes: printable ASCII, not empty.
bool PlainText(const std::string& text) {
    return !text.empty() && std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte >= 0x7F;
    });
}

bool HoldsMark(const std::vector<uint8_t>& program) {
    static const std::string text = ProgramMark();
    static const std::vector<uint8_t> mark(text.begin(), text.end());
    return std::search(program.begin(), program.end(), mark.begin(), mark.end()) != program.end();
}

bool Exists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0;
}

// Reads the output back through the program's own reader.
void CheckOutput(const std::string& path, const std::vector<uint8_t>& program, const std::vector<uint8_t>& load,
                 const PackOptions& options) {
    platform::ReadOnlyFile out;
    FUZZ_CHECK(out.Open(path));
    CDLParameter parameters;
    FUZZ_CHECK(parameters.ReadParameterFromFile(out) == 1);
    FUZZ_CHECK(parameters.GetVersion() == options.version);
    FUZZ_CHECK(parameters.GetLoadSize() == load.size());
    FUZZ_CHECK(parameters.GetValue16() == options.value16 && parameters.GetValue32A() == options.value32a &&
               parameters.GetValue32B() == options.value32b && parameters.GetValue32C() == options.value32c);
    const auto size = static_cast<uint32_t>(load.size());
    FUZZ_CHECK(CLoadMerger::CheckLoadFileCRC(out, size, nullptr) == 1);
    FUZZ_CHECK(CLoadMerger::CheckExeCRC(out, size) == 1);
    FUZZ_CHECK(CarriesPackage(out));

    FUZZ_CHECK(CLoadMerger::SeekToLoad(out, size) == 1);
    FUZZ_CHECK(out.Position() == static_cast<int64_t>(program.size() + kIntegrityRecordSize));
    std::vector<uint8_t> image(program.size());
    FUZZ_CHECK(out.ReadAt(0, image.data(), image.size()) == static_cast<int64_t>(image.size()));
    FUZZ_CHECK(image == program);
    FUZZ_CHECK(CLoadMerger::SeekToLoad(out, size) == 1);
    uint8_t chunk[kChunkSize];
    for (size_t offset = 0; offset < load.size(); offset += kChunkSize) {
        FUZZ_CHECK(CLoadMerger::ReadLoadChunk(out, chunk) == 1);
        const size_t n = std::min<size_t>(kChunkSize, load.size() - offset);
        FUZZ_CHECK(std::equal(chunk, chunk + n, load.begin() + static_cast<std::ptrdiff_t>(offset)));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::ScratchFolder folder;
    static fuzz::MemoryFile programFile("program");
    static fuzz::MemoryFile loadFile("load");
    FuzzedDataProvider input(data, size);

    const std::vector<std::string> args = Arguments(input);
    PackOptions options;
    std::string error;
    const bool parsed = ParsePackOptions(args, options, error);
    CheckParsed(args, parsed, options, error);
    if (!parsed) options.version = input.ConsumeRandomLengthString(60);

    // The files the options name are replaced by the input's own program and load.
    const std::vector<uint8_t> program = input.ConsumeBytes<uint8_t>(input.ConsumeIntegralInRange<size_t>(0, 2048));
    std::vector<uint8_t> load(input.ConsumeIntegralInRange<size_t>(0, 3 * kChunkSize + 8));
    const std::vector<uint8_t> pattern = input.ConsumeRemainingBytes<uint8_t>();
    for (size_t i = 0; i < load.size() && !pattern.empty(); ++i) load[i] = pattern[i % pattern.size()];
    programFile.Assign(program);
    loadFile.Assign(load);
    options.programPath = programFile.Path();
    options.loadPath = loadFile.Path();
    options.outPath = folder.File("out");

    platform::ReadOnlyFile programReader;
    FUZZ_CHECK(programReader.Open(options.programPath));
    const bool acceptable = options.version.size() <= kParamVersionMaxText && PlainText(options.version) &&
                            CheckLoadSize(load.size()) == LoadSizeProblem::kNone && !CarriesPackage(programReader) &&
                            HoldsMark(program);
    error.clear();
    PackReport report;
    const bool packed = RunPack(options, error, report);
    FUZZ_CHECK(packed == acceptable);
    if (!packed) {
        FUZZ_CHECK(!error.empty());
        FUZZ_CHECK(!Exists(options.outPath));
        return 0;
    }
    CheckOutput(options.outPath, program, load, options);

    // The output already carries a package: packing it again is refused and leaves it alone.
    PackOptions twice = options;
    twice.programPath = options.outPath;
    twice.outPath = folder.File("twice");
    error.clear();
    FUZZ_CHECK(!RunPack(twice, error, report) && !error.empty() && !Exists(twice.outPath));
    FUZZ_CHECK(std::remove(options.outPath.c_str()) == 0);
    return 0;
}
