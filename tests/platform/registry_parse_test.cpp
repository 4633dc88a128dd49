// SPDX-License-Identifier: Apache-2.0
// The .reg text grammar: keys, values, escapes, comments, line ends and malformed input.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/registry.h"

namespace platform {
namespace {

constexpr const char* kKey = "SOFTWARE\\Vexlor";

TEST(RegistryParse, TheSampleSettingsFile) {
    Registry r = Registry::Parse(
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n"
        "\"Level\"=dword:00000005\n"
        "\"AppendOption\"=dword:00000001\n"
        "\"App\"=\"/home/tech/vexlor-logs/\"\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n"
        "\"/dev/ttyUSB0\"=\"COM3\"\n"
        "\"/dev/pts/7\"=\"COM7\"\n");
    EXPECT_EQ(r.ReadDword(kKey, "Level"), 5u);
    EXPECT_EQ(r.ReadDword(kKey, "AppendOption"), 1u);
    EXPECT_EQ(r.ReadString(kKey, "App"), "/home/tech/vexlor-logs/");
    auto ports = r.Values("HARDWARE\\DEVICEMAP\\SERIALCOMM");
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].first, "/dev/ttyUSB0");
    EXPECT_EQ(ports[0].second.text, "COM3");
    EXPECT_EQ(ports[1].first, "/dev/pts/7");
    EXPECT_EQ(ports[1].second.text, "COM7");
}

TEST(RegistryParse, KeyPathsAndValueNamesIgnoreCase) {
    Registry r = Registry::Parse("[hkey_local_machine\\Software\\VEXLOR]\n\"LEVEL\"=dword:0000000a\n");
    EXPECT_TRUE(r.HasKey("SOFTWARE\\Vexlor"));
    EXPECT_TRUE(r.HasKey("software\\vexlor\\"));  // a trailing separator names the same key
    EXPECT_EQ(r.ReadDword("SOFTWARE\\Vexlor", "level"), 10u);
    EXPECT_FALSE(r.HasKey("SOFTWARE"));
    EXPECT_FALSE(r.HasKey("SOFTWARE\\Vexlor\\Sub"));
    EXPECT_FALSE(r.HasKey("SOFTWARE\\Vexlo"));
}

TEST(RegistryParse, DwordNeedsExactlyEightHexDigits) {
    Registry r = Registry::Parse(
        "[HKEY_LOCAL_MACHINE\\K]\n"
        "\"max\"=dword:FFFFFFFF\n"
        "\"mixed\"=DWORD:00aBcDeF\n"
        "\"minus2\"=dword:fffffffe\n"
        "\"short\"=dword:0005\n"
        "\"long\"=dword:000000005\n"
        "\"nothex\"=dword:0000000g\n"
        "\"signed\"=dword:-0000001\n"
        "\"empty\"=dword:\n"
        "\"trailing\"=dword:00000001 junk\n"
        "\"spaced\" = dword:00000002 \r\n");
    EXPECT_EQ(r.ReadDword("K", "max"), 0xFFFFFFFFu);
    EXPECT_EQ(r.ReadDword("K", "mixed"), 0x00ABCDEFu);
    EXPECT_EQ(static_cast<int32_t>(*r.ReadDword("K", "minus2")), -2);
    EXPECT_EQ(r.ReadDword("K", "spaced"), 2u);
    for (const char* bad : {"short", "long", "nothex", "signed", "empty", "trailing"}) {
        EXPECT_FALSE(r.Read("K", bad).has_value()) << bad;
    }
    EXPECT_EQ(r.Values("K").size(), 4u);
}

TEST(RegistryParse, QuotedTextsAndTheirEscapes) {
    Registry r = Registry::Parse(
        "[HKEY_LOCAL_MACHINE\\K]\n"
        "\"path\"=\"C:\\\\logs\\\\\"\n"
        "\"quote\"=\"say \\\"hi\\\"\"\n"
        "\"we\\\"ird\\\\name\"=\"v\"\n"
        "\"empty\"=\"\"\n"
        "\"utf8\"=\"Gr\xC3\xBC\xC3\x9F\xE6\x97\xA5\"\n"
        "\"semicolon\"=\"a;b ; c\"\n"
        "\"tab\"=\"a\tb\"\n"
        "\"badescape\"=\"a\\nb\"\n"
        "\"unterminated\"=\"abc\n"
        "\"after\"=\"x\" y\n"
        "\"open\n"
        "\"lone\\\"=\"x\"\n"
        "\"nothing\"=\n"
        "\"noequals\" \"x\"\n");
    EXPECT_EQ(r.ReadString("K", "path"), "C:\\logs\\");
    EXPECT_EQ(r.ReadString("K", "quote"), "say \"hi\"");
    EXPECT_EQ(r.ReadString("K", "we\"ird\\name"), "v");
    EXPECT_EQ(r.ReadString("K", "empty"), "");
    EXPECT_EQ(r.ReadString("K", "utf8"), "Gr\xC3\xBC\xC3\x9F\xE6\x97\xA5");
    EXPECT_EQ(r.ReadString("K", "semicolon"), "a;b ; c");
    EXPECT_EQ(r.ReadString("K", "tab"), "a\tb");
    EXPECT_EQ(r.Values("K").size(), 7u);
}

TEST(RegistryParse, TypesDoNotMix) {
    Registry r = Registry::Parse("[HKEY_LOCAL_MACHINE\\K]\n\"n\"=dword:00000001\n\"s\"=\"1\"\n");
    EXPECT_FALSE(r.ReadString("K", "n").has_value());
    EXPECT_FALSE(r.ReadDword("K", "s").has_value());
    EXPECT_EQ(r.Read("K", "n")->type, RegistryValue::Type::Dword);
    EXPECT_EQ(r.Read("K", "s")->type, RegistryValue::Type::String);
}

TEST(RegistryParse, OnlyMachineKeysAreKept) {
    Registry r = Registry::Parse(
        "[HKEY_CURRENT_USER\\SOFTWARE\\Vexlor]\n\"Level\"=dword:00000005\n"
        "[HKEY_LOCAL_MACHINE_X\\SOFTWARE\\Vexlor]\n\"Level\"=dword:00000006\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n\"Level\"=dword:00000007\n"
        "\"orphan\"=dword:00000001\n");
    EXPECT_FALSE(r.HasKey(kKey));
    EXPECT_FALSE(r.HasKey("HKEY_CURRENT_USER\\SOFTWARE\\Vexlor"));
}

TEST(RegistryParse, ValuesBeforeAnyKeyOrAfterABadKeyLineAreIgnored) {
    Registry r = Registry::Parse(
        "\"early\"=dword:00000001\n"
        "[HKEY_LOCAL_MACHINE\\A]\n\"a\"=dword:00000001\n"
        "[HKEY_LOCAL_MACHINE\\B\n\"b\"=dword:00000002\n"  // no closing bracket
        "[HKEY_LOCAL_MACHINE\\C] x\n\"c\"=dword:00000003\n");
    EXPECT_EQ(r.Values("A").size(), 1u);
    EXPECT_FALSE(r.HasKey("B"));
    EXPECT_FALSE(r.HasKey("C"));
    EXPECT_FALSE(r.Read("A", "b").has_value());
    EXPECT_FALSE(r.Read("A", "early").has_value());
}

TEST(RegistryParse, RepeatedKeysMergeAndLaterValuesReplaceInPlace) {
    Registry r = Registry::Parse(
        "[HKEY_LOCAL_MACHINE\\K]\n\"a\"=dword:00000001\n\"b\"=\"one\"\n"
        "[HKEY_LOCAL_MACHINE\\Other]\n\"x\"=\"y\"\n"
        "[HKEY_LOCAL_MACHINE\\k]\n\"A\"=\"now a text\"\n\"c\"=dword:00000003\n");
    auto values = r.Values("K");
    ASSERT_EQ(values.size(), 3u);
    EXPECT_EQ(values[0].first, "a");
    EXPECT_EQ(values[0].second.type, RegistryValue::Type::String);
    EXPECT_EQ(values[0].second.text, "now a text");
    EXPECT_EQ(values[1].first, "b");
    EXPECT_EQ(values[2].first, "c");
    EXPECT_EQ(r.Values("Other").size(), 1u);
}

TEST(RegistryParse, CommentsBlankLinesAndLineEnds) {
    const std::string body =
        "; a comment\r\n  ; indented comment\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n"
        ";\"hidden\"=dword:00000001\r\n\t\"shown\"=dword:00000002\r\n";
    for (const std::string& text : {body, std::string("\xEF\xBB\xBF") + body, body.substr(0, body.size() - 2)}) {
        Registry r = Registry::Parse(text);
        EXPECT_FALSE(r.Read("K", "hidden").has_value());
        EXPECT_EQ(r.ReadDword("K", "shown"), 2u);
        EXPECT_EQ(r.Values("K").size(), 1u);
    }
    // A byte order mark elsewhere than at the start is just a bad line.
    Registry r = Registry::Parse("[HKEY_LOCAL_MACHINE\\K]\n\xEF\xBB\xBF\"x\"=dword:00000001\n");
    EXPECT_TRUE(r.Values("K").empty());
}

TEST(RegistryParse, LinesWithNulBytesAreSkipped) {
    using namespace std::string_literals;
    Registry r = Registry::Parse("[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"x\0y\"\n\"b\0\"=dword:00000001\n\"c\"=\"ok\"\n"s);
    auto values = r.Values("K");
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].first, "c");
    Registry cut = Registry::Parse("[HKEY_LOCAL_MACHINE\\K\0]\n\"c\"=\"ok\"\n"s);
    EXPECT_FALSE(cut.HasKey("K"));
}

TEST(RegistryParse, TruncatedTextKeepsWhatWasWhole) {
    const std::string text = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vexlor]\n\"Level\"=dword:00000005\n\"App\"=\"/tmp/x/\"\n";
    for (size_t cut = 0; cut <= text.size(); ++cut) {
        Registry r = Registry::Parse(std::string_view(text).substr(0, cut));
        // Every prefix parses; each value is either whole or absent.
        auto level = r.ReadDword(kKey, "Level");
        auto app = r.ReadString(kKey, "App");
        if (level) {
            EXPECT_EQ(*level, 5u);
        }
        if (app) {
            EXPECT_EQ(*app, "/tmp/x/");
        }
        EXPECT_EQ(app.has_value(), cut >= text.size() - 1) << cut;
    }
}

TEST(RegistryParse, RandomBytesNeverCrash) {
    std::mt19937 random(12345);
    using namespace std::string_literals;
    const std::string alphabet = "[]\"\\=:;\r\n\0 dwordHKEY_LOCAL_MACHINE0123456789abcdefABCDEF"s;
    for (int round = 0; round < 2000; ++round) {
        std::string text(random() % 400, ' ');
        for (char& c : text) {
            c = (random() % 2) ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
        }
        if (round % 3 == 0) text = "[HKEY_LOCAL_MACHINE\\K]\n" + text;
        Registry r = Registry::Parse(text);
        for (const auto& [name, value] : r.Values("K")) {
            EXPECT_EQ(name.find('\0'), std::string::npos);
            EXPECT_EQ(value.text.find('\0'), std::string::npos);
        }
    }
}

TEST(RegistryParse, ManyKeysAndValuesParseInLinearTime) {
    // 200,000 keys and 200,000 values of one key: a quadratic parser would take minutes.
    std::string text;
    text.reserve(16 << 20);
    for (int i = 0; i < 200000; ++i)
        text += "[HKEY_LOCAL_MACHINE\\Keys\\K" + std::to_string(i) + "]\n\"v\"=dword:00000001\n";
    text += "[HKEY_LOCAL_MACHINE\\Big]\n";
    for (int i = 0; i < 200000; ++i) text += "\"n" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"\n";
    text += "\"n7\"=\"replaced\"\n";
    Registry r = Registry::Parse(text);
    EXPECT_EQ(r.ReadDword("Keys\\K199999", "v"), 1u);
    auto big = r.Values("Big");
    ASSERT_EQ(big.size(), 200000u);
    EXPECT_EQ(big[7].second.text, "replaced");
    EXPECT_EQ(big[199999].first, "n199999");
}

TEST(RegistryParse, EmptyInput) {
    Registry r = Registry::Parse("");
    EXPECT_FALSE(r.HasKey(kKey));
    EXPECT_FALSE(r.HasKey(""));
    EXPECT_TRUE(r.Values(kKey).empty());
    EXPECT_FALSE(r.Read(kKey, "Level").has_value());
}

}  // namespace
}  // namespace platform
