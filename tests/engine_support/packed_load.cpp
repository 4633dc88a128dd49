// SPDX-License-Identifier: Apache-2.0
#include "packed_load.h"

#include <algorithm>
#include <fstream>

#include "app/program_mark.h"
#include "package/package_writer.h"
#include "platform/read_only_file.h"
#include "temp_folder.h"

namespace {

class FileSink : public PackageSink {
public:
    explicit FileSink(const std::string& path) : m_out(path, std::ios::binary | std::ios::trunc) {}
    bool Write(const uint8_t* data, size_t length) override {
        m_out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
        return static_cast<bool>(m_out);
    }
    bool Finish() {
        m_out.close();
        return static_cast<bool>(m_out);
    }

private:
    std::ofstream m_out;
};

}  // namespace

std::vector<uint8_t> TestLoad(uint32_t size) {
    std::vector<uint8_t> load(size);
    uint64_t state = 0x9E3779B97F4A7C15ull ^ size;
    for (auto& byte : load) {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return load;
}

std::string PackLoadIntoProgram(const std::string& folder, const std::vector<uint8_t>& load, const std::string& version,
                                const std::string& packedPath) {
    const std::string programPath = folder + "/program";
    const std::string loadPath = folder + "/load.bin";
    if (!WriteWholeFile(programPath, std::string(8192, '\x5A') + ProgramMark()) ||
        !WriteWholeFile(loadPath, std::string(load.begin(), load.end()))) {
        return "cannot write the program or the load into " + folder;
    }
    platform::ReadOnlyFile program;
    platform::ReadOnlyFile loadFile;
    if (!program.Open(programPath) || !loadFile.Open(loadPath)) return "cannot open the program or the load";

    FileSink sink(packedPath);
    PackageWriter writer(sink);
    PackageValues values;
    values.version = version;
    const auto size = static_cast<uint32_t>(load.size());
    PackResult result = writer.CopyImage(program);
    if (result == PackResult::kOk) result = writer.AppendLoadArea(loadFile, size);
    if (result == PackResult::kOk) result = writer.AppendParameterBlock(values, size);
    if (result != PackResult::kOk) return "packing failed with result " + std::to_string(static_cast<int>(result));
    if (!sink.Finish()) return "cannot write " + packedPath;
    return {};
}

bool ImageMatchesLoad(const std::vector<uint8_t>& image, const std::vector<uint8_t>& load, std::string* why) {
    auto fail = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    if (image.size() < load.size()) {
        return fail("image has " + std::to_string(image.size()) + " bytes, load " + std::to_string(load.size()));
    }
    if (image.size() > std::max<size_t>(load.size(), 512)) return fail("image longer than the load");
    const auto difference = std::mismatch(load.begin(), load.end(), image.begin());
    if (difference.first != load.end()) {
        return fail("first difference at byte " + std::to_string(difference.first - load.begin()));
    }
    return true;
}
