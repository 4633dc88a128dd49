// SPDX-License-Identifier: Apache-2.0
// Loading, looking up and freeing a language library, and the ways a load can fail.
#include "app/common/resource_library.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "app/common/language_choice.h"
#include "platform/program_path.h"

namespace {

TEST(ResourceLibrary, LanguagePositionsMapToTheirFiles) {
    EXPECT_STREQ(LanguageLibraryFile(0), "VexlorEngRes.so");
    EXPECT_STREQ(LanguageLibraryFile(1), "VexlorChtRes.so");
    EXPECT_STREQ(LanguageLibraryFile(2), "VexlorChsRes.so");
    EXPECT_STREQ(LanguageLibraryFile(-1), "VexlorEngRes.so");
    EXPECT_STREQ(LanguageLibraryFile(7), "VexlorEngRes.so");
    EXPECT_EQ(LanguageLibraryPath("/opt/tools/", 1), "/opt/tools/VexlorChtRes.so");
    EXPECT_EQ(LanguageLibraryPath("/opt/tools", 2), "/opt/tools/VexlorChsRes.so");
}

TEST(ResourceLibrary, NothingLoadedGivesEmptyTexts) {
    CResourceLibrary library;
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.LoadString(1), "");
    library.Free();  // harmless without a library
    EXPECT_FALSE(library.IsLoaded());
}

TEST(ResourceLibrary, LoadLookUpFreeAndReload) {
    const std::string folder = platform::ProgramFolder();
    CResourceLibrary library;
    ASSERT_TRUE(library.Load(LanguageLibraryPath(folder, LANGUAGE_ENGLISH))) << library.LoadError();
    EXPECT_EQ(library.LoadString(lang::IDS_START), "Start");
    library.Free();
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_EQ(library.LoadString(lang::IDS_START), "");
    // A second Load replaces the library held.
    ASSERT_TRUE(library.Load(LanguageLibraryPath(folder, LANGUAGE_ENGLISH)));
    ASSERT_TRUE(library.Load(LanguageLibraryPath(folder, LANGUAGE_TRADITIONAL_CHINESE)));
    EXPECT_EQ(library.LoadString(lang::IDS_START), "開始");
}

TEST(ResourceLibrary, MissingFileFailsWithAReason) {
    CResourceLibrary library;
    EXPECT_FALSE(library.Load("/nonexistent/folder/VexlorChtRes.so"));
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_FALSE(library.LoadError().empty());
    EXPECT_FALSE(library.Load(""));
}

TEST(ResourceLibrary, FileThatIsNoLibraryFails) {
    const std::string path = ::testing::TempDir() + "NotALibrary.so";
    std::ofstream(path) << "this is text, not a shared object\n";
    CResourceLibrary library;
    EXPECT_FALSE(library.Load(path));
    EXPECT_FALSE(library.IsLoaded());
    std::remove(path.c_str());
}

TEST(ResourceLibrary, LibraryWithoutTheLookupFails) {
    CResourceLibrary library;
    EXPECT_FALSE(library.Load(platform::ProgramFolder() + "vexlor_test_no_strings.so"));
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_NE(library.LoadError().find("VexlorResString"), std::string::npos) << library.LoadError();
}

TEST(ResourceLibrary, BareFileNameIsNotSearchedInSystemFolders) {
    // "libc.so.6" would be found by the system's search; a library path is taken as given.
    CResourceLibrary library;
    EXPECT_FALSE(library.Load("libc.so.6"));
}

}  // namespace
