// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

namespace platform {

// The machine's host name (the station a record names); "" when the system tells none.
std::string HostName();
// The login name of the user the program runs as (the operator a record names); "" when unknown.
std::string LoginName();
// Where the production record store lives unless --records names another:
// $XDG_DATA_HOME/vexlor/records.db, else ~/.local/share/vexlor/records.db; on Windows
// %LOCALAPPDATA%\Vexlor\records.db. "" when the system names no such folder.
std::string DefaultRecordStorePath();

}  // namespace platform
