// SPDX-License-Identifier: Apache-2.0
// The three language libraries as the program loads them from its folder (shared modules on
// Linux, resource-only DLLs on Windows): every string ID has a text in every language, each text
// carries exactly the conversions its use formats it with, and each library gives back exactly
// the texts of its source table.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/common/format_text.h"
#include "app/common/language_choice.h"
#include "app/common/resource_library.h"
#include "lang/string_ids.h"
#include "platform/program_path.h"

// The source tables themselves, each lookup kept in a namespace of its own: on Windows the DLLs'
// string tables are generated from them, and must say exactly the same.
#define VEXLOR_RES_EXPORT static
#include "lang/string_table.h"
namespace eng_source {
#include "lang/eng_res.cpp"
}
namespace cht_source {
#include "lang/cht_res.cpp"
}
namespace chs_source {
#include "lang/chs_res.cpp"
}

namespace {

std::string SourceText(int position, unsigned id) {
    const char* text = position == LANGUAGE_TRADITIONAL_CHINESE  ? cht_source::VexlorResString(id)
                       : position == LANGUAGE_SIMPLIFIED_CHINESE ? chs_source::VexlorResString(id)
                                                                 : eng_source::VexlorResString(id);
    return text ? text : "";
}

std::vector<std::string> ExpectedConversions(lang::FormatArg arg) {
    switch (arg) {
    case lang::FormatArg::Text: return {"%s"};
    case lang::FormatArg::Integer: return {"%d"};
    case lang::FormatArg::Texts2: return {"%s", "%s"};
    case lang::FormatArg::Texts3: return {"%s", "%s", "%s"};
    case lang::FormatArg::None: return {};
    }
    return {};
}

bool IsValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        size_t extra = lead < 0x80 ? 0 : (lead >> 5) == 0x6 ? 1 : (lead >> 4) == 0xE ? 2 : (lead >> 3) == 0x1E ? 3 : 99;
        if (extra == 99 || i + extra >= text.size()) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        }
        i += extra + 1;
    }
    return true;
}

class LanguageLibraryTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        path_ = LanguageLibraryPath(platform::ProgramFolder(), GetParam());
        ASSERT_TRUE(library_.Load(path_)) << path_ << ": " << library_.LoadError();
    }
    std::string path_;
    CResourceLibrary library_;
};

TEST_P(LanguageLibraryTest, EveryIdHasATextWithTheConversionsOfItsUse) {
    for (const lang::StringUse& use : lang::kStringUses) {
        const std::string text = library_.LoadString(use.id);
        SCOPED_TRACE(path_ + " string " + std::to_string(use.id) + ": \"" + text + "\"");
        EXPECT_FALSE(text.empty());
        EXPECT_TRUE(IsValidUtf8(text));
        EXPECT_EQ(FormatConversions(text), ExpectedConversions(use.arg));
        if (use.arg == lang::FormatArg::None) {
            // Shown as it stands, so a percent sign would appear doubled or stray.
            EXPECT_EQ(text.find('%'), std::string::npos);
        }
    }
}

TEST_P(LanguageLibraryTest, FormattedTextsCarryTheirArgument) {
    for (const lang::StringUse& use : lang::kStringUses) {
        const std::string text = library_.LoadString(use.id);
        SCOPED_TRACE(path_ + " string " + std::to_string(use.id));
        if (use.arg == lang::FormatArg::Text) {
            const std::string shown = FormatText(text, lang::kModelCode);
            EXPECT_NE(shown.find(lang::kModelCode), std::string::npos) << shown;
            EXPECT_EQ(shown.find('%'), std::string::npos) << shown;
        } else if (use.arg == lang::FormatArg::Texts2 || use.arg == lang::FormatArg::Texts3) {
            const std::string shown = FormatTexts(text, {"<first>", "<second>", "<third>"});
            EXPECT_LT(shown.find("<first>"), shown.find("<second>")) << shown;
            if (use.arg == lang::FormatArg::Texts3) {
                EXPECT_LT(shown.find("<second>"), shown.find("<third>")) << shown;
            }
            EXPECT_EQ(shown.find('%'), std::string::npos) << shown;
        } else if (use.arg == lang::FormatArg::Integer) {
            const std::string shown = FormatNumber(text, 73);
            EXPECT_NE(shown.find("73%"), std::string::npos) << shown;
            EXPECT_EQ(shown.find("%d"), std::string::npos) << shown;
        }
    }
}

TEST_P(LanguageLibraryTest, UnknownIdGivesAnEmptyText) {
    EXPECT_EQ(library_.LoadString(0), "");
    EXPECT_EQ(library_.LoadString(2), "");
    EXPECT_EQ(library_.LoadString(41), "");
    EXPECT_EQ(library_.LoadString(0xFFFFFFFFu), "");
    // A Windows string table is looked up by 16 bits: these must not read IDs 1 and 57.
    EXPECT_EQ(library_.LoadString(0x10000 + lang::IDS_TITLE), "");
    EXPECT_EQ(library_.LoadString(0x20000 + lang::IDS_START), "");
}

TEST_P(LanguageLibraryTest, GivesExactlyTheTextsOfItsSourceTable) {
    // Every ID in use and the unused numbers around them: quotes, escapes and characters beyond
    // ASCII come through unchanged, and nothing appears that the table lacks.
    for (unsigned id = 0; id <= 130; ++id) {
        EXPECT_EQ(library_.LoadString(id), SourceText(GetParam(), id)) << path_ << " string " << id;
    }
}

INSTANTIATE_TEST_SUITE_P(AllLanguages, LanguageLibraryTest,
                         ::testing::Values(LANGUAGE_ENGLISH, LANGUAGE_TRADITIONAL_CHINESE,
                                           LANGUAGE_SIMPLIFIED_CHINESE));

TEST(LanguageLibraries, StringIdsAreDistinctAndInstructionsAreThirteenLines) {
    std::set<unsigned> ids;
    for (const lang::StringUse& use : lang::kStringUses) {
        EXPECT_TRUE(ids.insert(use.id).second) << "duplicate ID " << use.id;
    }
    EXPECT_EQ(std::size(lang::kInstructionLines), 13u);
    for (unsigned id : lang::kInstructionLines) EXPECT_TRUE(ids.count(id)) << id;
}

TEST_P(LanguageLibraryTest, WordListsHoldTheirCountOfWordsEachNamed) {
    for (const lang::WordList& list : lang::kWordLists) {
        const std::string text = library_.LoadString(list.id);
        size_t words = 1;
        bool emptyWord = text.empty() || text.front() == '|' || text.back() == '|';
        for (size_t at = 0; at < text.size(); ++at) {
            if (text[at] != '|') continue;
            ++words;
            emptyWord = emptyWord || (at + 1 < text.size() && text[at + 1] == '|');
        }
        EXPECT_EQ(words, list.words) << list.id << ": " << text;
        EXPECT_FALSE(emptyWord) << list.id << ": " << text;
    }
}

TEST(LanguageLibraries, EachLanguageHasItsOwnTexts) {
    CResourceLibrary english, traditional, simplified;
    const std::string folder = platform::ProgramFolder();
    ASSERT_TRUE(english.Load(LanguageLibraryPath(folder, LANGUAGE_ENGLISH)));
    ASSERT_TRUE(traditional.Load(LanguageLibraryPath(folder, LANGUAGE_TRADITIONAL_CHINESE)));
    ASSERT_TRUE(simplified.Load(LanguageLibraryPath(folder, LANGUAGE_SIMPLIFIED_CHINESE)));
    int sameAsEnglish = 0, traditionalSameAsSimplified = 0;
    for (const lang::StringUse& use : lang::kStringUses) {
        const std::string eng = english.LoadString(use.id);
        if (eng == traditional.LoadString(use.id) || eng == simplified.LoadString(use.id)) ++sameAsEnglish;
        if (traditional.LoadString(use.id) == simplified.LoadString(use.id)) ++traditionalSameAsSimplified;
    }
    // Only the port prefix "COM" reads the same in all three.
    EXPECT_EQ(sameAsEnglish, 1);
    EXPECT_LT(traditionalSameAsSimplified, 6);
    EXPECT_EQ(english.LoadString(lang::IDS_PORT_PREFIX), "COM");
}

}  // namespace
