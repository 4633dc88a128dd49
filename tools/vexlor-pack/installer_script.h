// SPDX-License-Identifier: Apache-2.0
#pragma once

// The release's installer script (packaging/windows/vexlor.nsi) and the file it includes, built
// into vexlor-pack so that --setup makes the setup program as the release does.
extern const char* const kInstallerScript;
extern const char* const kInstallerLoadScript;
