// SPDX-License-Identifier: Apache-2.0
#include "runs_fixture.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "app/common/language_choice.h"
#include "platform/program_path.h"
#include "settings_file.h"

void RunsFixture::SetUp() {
    TestSettings settings;
    settings.logLevel = -1;
    for (int i = 0; i < 4; ++i) settings.ports["/dev/ttyBENCH" + std::to_string(i)] = "COM" + std::to_string(5 + i);
    ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
    std::filesystem::create_directory(folder.File("run"));
    setenv("XDG_RUNTIME_DIR", folder.File("run").c_str(), 1);
    // The made-up devices' lock files stay in the test's own folder: tests in parallel
    // processes name the same devices.
    std::filesystem::create_directory(folder.File("lock"));
    setenv("VEXLOR_LOCK_DIR", folder.File("lock").c_str(), 1);
    setenv("VEXLOR_SYSFS_ROOT", folder.File("run").c_str(), 1);
    ASSERT_TRUE(m_language.Load(LanguageLibraryPath(platform::ProgramFolder(), 0)));
}

void RunsFixture::TearDown() { claims.clear(); }

PortClaim& RunsFixture::Claim(const std::string& port) {
    PortClaim& claim = *claims.emplace_back(std::make_unique<PortClaim>(port));
    if (!claim.Resolve()) {
        claim.RefuseAsAbsent(port + " is not in the port list (see vexlor --cli --list-ports).");
    } else {
        claim.Guard();
    }
    return claim;
}

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (const char c : line) {
        if (c == '"') quoted = !quoted;  // a doubled quote toggles twice and is dropped
        if (c == ',' && !quoted) fields.emplace_back();
        if (c != '"' && (c != ',' || quoted)) fields.back() += c;
    }
    return fields;
}

std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();  // a CR LF line, as reports write them
        lines.push_back(line);
    }
    return lines;
}
