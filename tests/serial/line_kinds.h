// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "model_line.h"
#include "settings_file.h"
#include "test_channel.h"
#ifndef _WIN32
#include "sim_process.h"
#endif

// The two kinds of line a typed test runs the channel over, so that one body checks both: the
// handset model on an in-process line (everywhere) and the simulator program behind a
// pseudo-terminal, through the system's serial line (Linux only). Each is one handset set up as
// the simulator's options say, plus what it heard.

// The handset model on an in-process line: no terminal, no second process.
class ModelLineKind {
public:
    static constexpr const char* kName = "ModelLine";
    // The line opens whatever device the map names for port.
    static void MapPort(TestSettings& settings, const std::string& port) { settings.ports["handset-model"] = port; }

    explicit ModelLineKind(const std::vector<std::string>& options, const std::string& /*settingsFile*/,
                           const std::string& /*port*/) {
        SimOptions parsed;
        m_optionsError = ParseSimOptions(options, parsed);
        m_owned = std::make_unique<ModelLine>(parsed);
        m_line = m_owned.get();
    }
    std::string StartError() const { return m_optionsError; }
    // The channel owns the line; this kind keeps looking at it while the channel lives.
    std::unique_ptr<TestChannel> MakeChannel() { return std::make_unique<TestChannel>(std::move(m_owned)); }

    // The rates the line was opened at, in order.
    std::vector<uint32_t> RatesSet() const { return m_line->RatesSet(); }
    // How many of the tool's writes held hexBytes ("0C 14 3A 7E").
    int Heard(const std::string& hexBytes) const {
        std::vector<uint8_t> bytes;
        for (size_t at = 0; at + 1 < hexBytes.size(); at += 3) {
            bytes.push_back(static_cast<uint8_t>(std::stoi(hexBytes.substr(at, 2), nullptr, 16)));
        }
        return m_line->CountWritesHolding(bytes);
    }
    std::string Notes() const { return m_line->NotesText(); }

private:
    std::string m_optionsError;
    std::unique_ptr<ModelLine> m_owned;  // until the channel takes it
    ModelLine* m_line = nullptr;
};

#ifndef _WIN32
// The simulator program on a pseudo-terminal it registers in the settings file as port.
class PtyLineKind {
public:
    static constexpr const char* kName = "Pty";
    static void MapPort(TestSettings& /*settings*/, const std::string& /*port*/) {}  // the simulator maps itself

    PtyLineKind(const std::vector<std::string>& options, const std::string& settingsFile, const std::string& port)
        : m_sim(options, settingsFile, port) {}
    std::string StartError() const { return m_sim.Started() ? "" : "simulator " + SimulatorPath() + " did not start"; }
    std::unique_ptr<TestChannel> MakeChannel() { return std::make_unique<TestChannel>(); }

    // The rates the terminal was set to, in order, from the simulator's trace.
    std::vector<uint32_t> RatesSet() const {
        std::vector<uint32_t> rates;
        for (const std::string& line : m_sim.TraceLines()) {
            const size_t at = line.find(" line rate ");
            if (at != std::string::npos && line.find("garbled") == std::string::npos) {
                rates.push_back(static_cast<uint32_t>(std::stoul(line.substr(at + 11))));
            }
        }
        return rates;
    }
    // How many of the simulator's received pieces held hexBytes ("0C 14 3A 7E").
    int Heard(const std::string& hexBytes) const { return m_sim.CountTraced("rx", hexBytes); }
    std::string Notes() const { return m_sim.TraceText(); }

private:
    SimProcess m_sim;
};
#endif
