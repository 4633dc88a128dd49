// SPDX-License-Identifier: Apache-2.0
#pragma once

// The program's exit statuses, whichever front end ends it: each cause has its own, so scripts
// can tell them apart. --help and the man page list them.
enum CliExitStatus : int {
    kExitDone = 0,        // the download ended with the done status (or the task succeeded)
    kExitFailed = 1,      // the run ended with a failure status
    kExitUsage = 2,       // a bad command line
    kExitPortHeld = 3,    // another vexlor runs on this port
    kExitLock = 4,        // the port's lock file cannot be created
    kExitSettings = 5,    // the settings file exists but cannot be read
    kExitLanguage = 6,    // the language library cannot be loaded
    kExitPackage = 7,     // the program carries no firmware load, or it is damaged
    kExitNoSuchPort = 8,  // the port is not in the port list (or did not appear in time)
    kExitReport = 9,      // the report file or the record store cannot be written
    kExitRecords = 10,    // the record store's chain is broken: a record changed, removed or inserted
    kExitPublish = 11,    // --publish-pending: records did not reach the broker (they still wait)
    kExitSignal = 130,    // stopped by SIGINT, SIGTERM or SIGHUP
};
