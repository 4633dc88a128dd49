// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "download_rig.h"

// The real vexlor program, packed with a load and run with --cli against the simulator. Each
// test has its own settings file and runtime folder, so tests may run in parallel.
class CliDownloadTest : public ::testing::Test {
protected:
    // Packs a load of loadSize bytes into a copy of vexlor (with the language libraries beside
    // it) and starts the simulator with simOptions.
    void Prepare(uint32_t loadSize, const std::vector<std::string>& simOptions);
    // Starts the packed vexlor with args (default: --cli --port COM9) at a time scale (default:
    // $VEXLOR_E2E_TIME_SCALE, else 0.05).
    void Launch(const std::vector<std::string>& args = {}, const std::string& timeScale = "");
    // Waits for the program to end: its exit status (-1 on time-out).
    int Finish(int limitMs = 60000);
    // Launch and Finish.
    int Run(const std::vector<std::string>& args = {}, const std::string& timeScale = "");

    // The status codes printed as "[0xNNN] ..." lines, in order.
    std::vector<uint32_t> PrintedStatuses() const;
    std::string Output() const { return vexlor.Output(); }
    std::string Errors() const { return ReadWholeFile(rig.Folder().File("vexlor.err")); }
    int CountInLog(const std::string& needle) const { return CountOccurrences(rig.LogText(), needle); }
    void ExpectImageIsLoad();
    // A failed case shows the run's diagnostic log: what the line carried tells why.
    void TearDown() override;

    DownloadRig rig;
    ChildProcess vexlor;
    // Further environment entries for vexlor ("NAME=value").
    std::vector<std::string> extraEnvironment;
};
