// SPDX-License-Identifier: Apache-2.0
#include "package_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "log/log.h"
#include "package/package_cipher.h"
#include "package/package_layout.h"
#include "platform/read_only_file.h"
#include "platform/window_messages.h"

namespace pkgtest {

namespace {

class FileSink : public PackageSink {
public:
    explicit FileSink(const std::string& path) : m_file(std::fopen(path.c_str(), "wb")) {}
    ~FileSink() override {
        if (m_file) std::fclose(m_file);
    }
    bool Write(const uint8_t* data, size_t length) override {
        return m_file && std::fwrite(data, 1, length, m_file) == length;
    }

private:
    std::FILE* m_file;
};

}  // namespace

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vexlor-pkg-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

Bytes RandomBytes(size_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes bytes(count);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    return bytes;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void FlipByte(const std::string& path, int64_t offset, uint8_t mask) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekg(offset);
    char byte = 0;
    file.read(&byte, 1);
    byte = static_cast<char>(byte ^ mask);
    file.seekp(offset);
    file.write(&byte, 1);
    ASSERT_TRUE(file.good()) << path << " at " << offset;
}

int64_t FileLength(const std::string& path) { return static_cast<int64_t>(std::filesystem::file_size(path)); }

void WriteProgramFile(const std::string& path, const Bytes& image, const Bytes& load, const PackageValues& values,
                      const std::string& scratchDir) {
    const std::string imagePath = scratchDir + "/image.part";
    const std::string loadPath = scratchDir + "/load.part";
    WriteFile(imagePath, image);
    WriteFile(loadPath, load);
    platform::ReadOnlyFile imageFile, loadFile;
    ASSERT_TRUE(imageFile.Open(imagePath));
    ASSERT_TRUE(loadFile.Open(loadPath));
    FileSink sink(path);
    PackageWriter writer(sink);
    ASSERT_EQ(writer.CopyImage(imageFile), PackResult::kOk);
    ASSERT_EQ(writer.AppendLoadArea(loadFile, static_cast<uint32_t>(load.size())), PackResult::kOk);
    ASSERT_EQ(writer.AppendParameterBlock(values, static_cast<uint32_t>(load.size())), PackResult::kOk);
}

void ReplaceParameterBlock(const std::string& path, const uint8_t* plain) {
    uint8_t block[kParameterBlockSize];
    std::copy(plain, plain + kParameterBlockSize, block);
    PackageCipher cipher;
    cipher.EncipherUnit(block, sizeof block);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(FileLength(path) - kParameterBlockSize);
    file.write(reinterpret_cast<const char*>(block), sizeof block);
    ASSERT_TRUE(file.good());
}

Bytes DecipherParameterBlock(const std::string& path) {
    Bytes all = ReadFile(path);
    Bytes block(all.end() - kParameterBlockSize, all.end());
    PackageCipher cipher;
    cipher.DecipherUnit(block.data(), block.size());
    return block;
}

void RecordingTarget::Post(uint32_t message, uintptr_t wParam) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back({message, wParam});
}

std::vector<RecordingTarget::Message> RecordingTarget::Messages() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

std::vector<uintptr_t> RecordingTarget::Progress() const {
    std::vector<uintptr_t> values;
    for (const auto& m : Messages())
        if (m.message == WM_DL_PROGRESS) values.push_back(m.wParam);
    return values;
}

LogCapture::LogCapture() {
    m_prefix = m_dir.File("log-");
    const std::string registry = m_dir.File("settings.reg");
    std::ofstream reg(registry);
    reg << "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n"
        << "\"Level\"=dword:00000005\n\"AppendOption\"=dword:00000001\n\"App\"=\"" << m_prefix << "\"\n";
    reg.close();
    setenv("VEXLOR_REGISTRY", registry.c_str(), 1);
    EXPECT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);
}

LogCapture::~LogCapture() {
    LogClose();
    unsetenv("VEXLOR_REGISTRY");
}

std::string LogCapture::CloseAndRead() {
    LogClose();
    std::string text;
    for (const auto& entry : std::filesystem::directory_iterator(m_dir.Path())) {
        if (entry.path().extension() == ".log") {
            Bytes bytes = ReadFile(entry.path().string());
            text.append(bytes.begin(), bytes.end());
        }
    }
    return text;
}

}  // namespace pkgtest
