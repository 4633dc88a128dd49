// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "link/ser_com_library.h"
#include "log/log.h"
#include "scripted_handset.h"
#include "settings_file.h"
#include "temp_folder.h"

// A transaction layer on COM7, a scripted handset behind it on an in-process line, and a level-5
// log to look into.
class SerComTest : public ::testing::Test {
protected:
    static constexpr const char* kPort = "COM7";

    void TearDown() override {
        if (link) link->CloseCOMPort();
        link.reset();
        handset = nullptr;
        LogClose();
    }

    // The line goes to the transaction layer; handset stays valid while link lives.
    void StartHandset(ScriptedHandset::Answer answer) {
        link.reset();
        handset = nullptr;
        LogClose();
        auto line = std::make_unique<ScriptedHandset>(answer);
        TestSettings settings;
        settings.logPrefix = folder.File("log-");
        settings.ports["scripted-handset"] = kPort;  // the line opens whatever the map names
        ASSERT_TRUE(UseSettings(folder.File("settings.reg"), settings));
        ASSERT_EQ(LogOpen("SOFTWARE\\Vexlor"), 1);
        handset = line.get();
        link = std::make_unique<CSerCOMLibrary>(std::move(line));
    }

    // Opens the port and waits for the listener to recognise the handset's mode.
    void OpenAndDetect(EPhoneMode expected) {
        ASSERT_EQ(link->OpenComport("Target download", kPort), SERCOM_OK);
        ASSERT_TRUE(WaitFor([&] { return link->Mode() == expected; }, 5000)) << "mode " << link->Mode();
    }

    static bool WaitFor(const std::function<bool()>& condition, int limitMs) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    static int64_t MillisecondsSince(std::chrono::steady_clock::time_point start) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    }

    std::string LogText() const { return ReadLogFolder(folder.Path()); }

    TempFolder folder;
    ScriptedHandset* handset = nullptr;  // owned by link
    std::unique_ptr<CSerCOMLibrary> link;
};

using Bytes = std::vector<uint8_t>;
using Reply = ScriptedHandset::Reply;
