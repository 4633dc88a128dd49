// SPDX-License-Identifier: Apache-2.0
// A PE program signed with Authenticode: packing leaves its signature out, and a program signed
// after packing (its certificate table behind the package, its header's checksum and security
// directory rewritten) still passes every package check, while a changed byte still fails them.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "package/image_digest.h"
#include "package/image_length.h"
#include "package/package_checks.h"
#include "package/package_layout.h"
#include "package/pe_signature.h"
#include "package_fixture.h"
#include "platform/read_only_file.h"

namespace {

using pkgtest::Bytes;

constexpr size_t kPeHeader = 0x80;
constexpr size_t kOptional = kPeHeader + 24;
constexpr size_t kChecksum = kOptional + 64;
constexpr size_t kSecurityEntry = kOptional + 112 + 4 * 8;
constexpr size_t kSectionTable = kOptional + 240;

// A 64-bit PE program of size bytes (random filler) with one section that ends at the file's end.
Bytes PeProgram(size_t size) {
    Bytes image = pkgtest::RandomBytes(size, 9);
    std::fill(image.begin(), image.begin() + static_cast<long>(kSectionTable + 40), 0);
    image[0] = 'M';
    image[1] = 'Z';
    WriteLe32(&image[0x3C], kPeHeader);
    WriteLe32(&image[kPeHeader], 0x4550);
    WriteLe16(&image[kPeHeader + 4], 0x8664);
    WriteLe16(&image[kPeHeader + 6], 1);     // one section
    WriteLe16(&image[kPeHeader + 20], 240);  // the optional header's size
    WriteLe16(&image[kOptional], 0x20B);
    WriteLe32(&image[kOptional + 108], 16);  // data directories
    const size_t raw = kSectionTable + 40;
    WriteLe32(&image[kSectionTable + 16], static_cast<uint32_t>(size - raw));
    WriteLe32(&image[kSectionTable + 20], static_cast<uint32_t>(raw));
    return image;
}

// What a signer does: zeros to an 8-byte boundary, a certificate table behind them, the security
// directory pointing at it and a new checksum.
void Sign(Bytes& file, uint32_t tableSize = 1496) {
    while (file.size() % kPeTableAlignment != 0) file.push_back(0);
    const auto table = static_cast<uint32_t>(file.size());
    Bytes certificate = pkgtest::RandomBytes(tableSize, 77);
    WriteLe32(&certificate[0], tableSize);  // WIN_CERTIFICATE: length, revision 2.0, PKCS#7
    WriteLe16(&certificate[4], 0x0200);
    WriteLe16(&certificate[6], 0x0002);
    file.insert(file.end(), certificate.begin(), certificate.end());
    WriteLe32(&file[kSecurityEntry], table);
    WriteLe32(&file[kSecurityEntry + 4], tableSize);
    WriteLe32(&file[kChecksum], 0x5A5A1234);
}

class MemorySink : public PackageSink {
public:
    bool Write(const uint8_t* data, size_t length) override {
        bytes.insert(bytes.end(), data, data + length);
        return true;
    }
    Bytes bytes;
};

int32_t Check(const std::string& path) {
    platform::ReadOnlyFile file;
    EXPECT_TRUE(file.Open(path));
    CDLParameter parameters;
    return RunPackageChecks(file, parameters, nullptr);
}

std::optional<uint64_t> ImageLength(const std::string& path) {
    platform::ReadOnlyFile file;
    EXPECT_TRUE(file.Open(path));
    return ProgramImageLength(file);
}

class SignedPackage : public ::testing::Test {
protected:
    // Packs program (the file "program") with a 9000-byte load into "packed".
    void Pack(const Bytes& program) {
        pkgtest::WriteFile(m_dir.File("program"), program);
        pkgtest::WriteFile(m_dir.File("load"), pkgtest::RandomBytes(9000, 3));
        platform::ReadOnlyFile programFile;
        platform::ReadOnlyFile loadFile;
        ASSERT_TRUE(programFile.Open(m_dir.File("program")));
        ASSERT_TRUE(loadFile.Open(m_dir.File("load")));
        MemorySink sink;
        PackageWriter writer(sink);
        PackageValues values;
        values.version = "S12.3";
        ASSERT_EQ(writer.CopyImage(programFile), PackResult::kOk);
        ASSERT_EQ(writer.AppendLoadArea(loadFile, 9000), PackResult::kOk);
        ASSERT_EQ(writer.AppendParameterBlock(values, 9000), PackResult::kOk);
        m_dropped = writer.DroppedSignature();
        pkgtest::WriteFile(m_dir.File("packed"), sink.bytes);
    }

    pkgtest::TempDir m_dir;
    bool m_dropped = false;
};

// The integrity record of the image's bytes as they are, signing fields included.
uint64_t PlainDigest(const Bytes& file, size_t imageLength) {
    SipHash24 hash = NewImageHash();
    hash.Update(file.data(), imageLength);
    return hash.Finish();
}

TEST_F(SignedPackage, SignedAfterPackingItStillChecksAndAChangedByteFails) {
    Bytes program = PeProgram(20003);           // not on an 8-byte boundary: packing pads it
    WriteLe32(&program[kChecksum], 0x1234567);  // as the linker leaves it
    Pack(program);
    EXPECT_FALSE(m_dropped);
    const std::string packed = m_dir.File("packed");
    Bytes file = pkgtest::ReadFile(packed);
    ASSERT_EQ(file.size(), 20008 + kIntegrityRecordSize + EncipheredAreaSize(9000) + kParameterBlockSize);
    ASSERT_EQ(Check(packed), 1);
    // Unsigned, the packed program has no checksum, so its record is the hash of its bytes as they
    // are, which the readers of earlier versions compute.
    EXPECT_EQ(ReadLe32(&file[kChecksum]), 0u);
    EXPECT_EQ(ReadLe64(&file[20008]), PlainDigest(file, 20008));
    // A program packed by an earlier version, its checksum and the hash over it kept, still checks.
    {
        Bytes earlier = file;
        WriteLe32(&earlier[kChecksum], 0x1234567);
        WriteLe64(&earlier[20008], PlainDigest(earlier, 20008));
        pkgtest::WriteFile(m_dir.File("earlier"), earlier);
        EXPECT_EQ(Check(m_dir.File("earlier")), 1);
        pkgtest::FlipByte(m_dir.File("earlier"), 0x300);
        EXPECT_NE(Check(m_dir.File("earlier")), 1);
    }

    Sign(file);
    const size_t packageEnd = file.size() - 1496;
    pkgtest::WriteFile(packed, file);
    EXPECT_EQ(Check(packed), 1) << "a program signed after packing finds its package before the signature";
    // Its image ends before the package: a damaged package is told from none at all.
    EXPECT_EQ(ImageLength(packed), 20003u);

    // The image, its padding, the load, the parameter block.
    for (const size_t offset : {size_t{0x200}, size_t{20005}, size_t{20116}, packageEnd - 1}) {
        SCOPED_TRACE("byte " + std::to_string(offset));
        pkgtest::FlipByte(packed, static_cast<int64_t>(offset));
        EXPECT_NE(Check(packed), 1);
        pkgtest::FlipByte(packed, static_cast<int64_t>(offset));
    }
    // A signature not at the end is no signature the reader skips, nor are bytes appended and
    // named as one by the (unchecked) directory entry.
    file.push_back(0);
    pkgtest::WriteFile(packed, file);
    EXPECT_NE(Check(packed), 1);
    file.pop_back();
    file[packageEnd + 5] = 0x01;  // not a WIN_CERTIFICATE of revision 2.0
    pkgtest::WriteFile(packed, file);
    EXPECT_NE(Check(packed), 1);
}

TEST_F(SignedPackage, PackingASignedProgramLeavesItsSignatureOut) {
    Bytes program = PeProgram(16384);
    Sign(program, 2048);
    // Signed and unpacked, the program's image is the whole file: it carries no package.
    pkgtest::WriteFile(m_dir.File("signed"), program);
    EXPECT_EQ(ImageLength(m_dir.File("signed")), program.size());
    EXPECT_NE(Check(m_dir.File("signed")), 1);

    Pack(program);
    EXPECT_TRUE(m_dropped);
    const std::string packed = m_dir.File("packed");
    Bytes file = pkgtest::ReadFile(packed);
    ASSERT_EQ(file.size(), 16384 + kIntegrityRecordSize + EncipheredAreaSize(9000) + kParameterBlockSize);
    EXPECT_TRUE(
        std::equal(program.begin() + kSecurityEntry + 8, program.begin() + 16384, file.begin() + kSecurityEntry + 8));
    EXPECT_EQ(ReadLe64(&file[kSecurityEntry]), 0u) << "the security directory still names a table";
    EXPECT_EQ(ReadLe32(&file[kChecksum]), 0u);
    EXPECT_EQ(Check(packed), 1);

    // Signed again, with another table size, it checks as well.
    Sign(file, 3000);
    pkgtest::WriteFile(packed, file);
    EXPECT_EQ(Check(packed), 1);
}

}  // namespace
