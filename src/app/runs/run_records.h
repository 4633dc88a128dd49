// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/common/status_lines.h"
#include "app/runs/port_run.h"
#include "app/runs/run_outcome.h"
#include "platform/local_time.h"
#include "records/record_store.h"

// What every record of one program's runs shares: where, by whom and with what it was flashed.
struct RecordOrigin {
    std::string station;
    std::string operatorName;
    std::string toolVersion;
    std::string loadVersion;
    std::string loadSha256;
};

// What every front end knows of a handset's run that has ended, whichever way it ran it.
struct RunFacts {
    std::string port;
    std::string device;
    platform::LocalTime startedAt;
    platform::LocalTime endedAt;
    RunOutcome outcome;
    std::optional<uint32_t> esn;
    std::string handsetVersion;
    double seconds = 0;
    uint64_t bytes = 0;
};

// The production record of a run that has ended (not yet stored: no place in a chain). The
// facts alone leave what only a confirmed restart tells empty, and the handset first on its port.
ProductionRecord RecordOf(const RunFacts& facts, const RecordOrigin& origin);
ProductionRecord RecordOf(const PortRun& run, const TextLookup& text, const RecordOrigin& origin);

// Whether a run leaves a production record: a handset was there (not a refused or empty port).
bool LeavesRecord(const PortRun& run);

// The runs' way into the record store.
class RunRecords {
public:
    RunRecords(RecordStore& store, RecordOrigin origin) : m_store(store), m_origin(std::move(origin)) {}
    // Stores run's record; what went wrong, if anything.
    StoreFailure Store(const PortRun& run, const TextLookup& text) {
        ProductionRecord record = RecordOf(run, text, m_origin);
        StoreFailure failure = m_store.Append(record);
        if (!failure && m_stored) m_stored();
        return failure;
    }
    const std::string& Path() const { return m_store.Path(); }
    // Called after each record is stored: the delivery to the broker sends it at once.
    void OnStored(std::function<void()> stored) { m_stored = std::move(stored); }

private:
    RecordStore& m_store;
    RecordOrigin m_origin;
    std::function<void()> m_stored;
};

// The origin of this program's records: the machine's host name, the user's login name and this
// program's version, with the load's version and SHA-256.
RecordOrigin ThisStation(std::string loadVersion, std::string loadSha256);

// The technician's line for a store that failed at path: what went wrong and what to do.
std::string StoreProblem(const StoreFailure& failure, const std::string& path, const TextLookup& text);

// Opens the record store at path for the runs to write; makeFolder: its folder is made where
// missing (the default place is ours to make, a folder the user named must be there).
std::unique_ptr<RecordStore> OpenRunStore(const std::string& path, bool makeFolder, StoreFailure& failure);
