// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "link/ser_com_library.h"

// What a handset tells about itself without a download.
struct HandsetInfo {
    EPhoneMode foundMode = PHONE_MODE_UNKNOWN;  // the mode it answered in first
    EPhoneMode mode = PHONE_MODE_UNKNOWN;       // the mode it was left in (DIAG after a switch from AT)
    std::string softwareVersion;                // its two version numbers joined ("%d%d"); empty when not reported
    std::string platform;                       // its platform text, trimmed; empty when not reported
    std::optional<uint32_t> esn;                // its ESN; none when not reported (download mode)
};

// The platform text of a version reply (bytes 39..46 of the payload as the transaction layer
// hands it over), printable characters only, trimmed; empty when the reply is no version reply.
std::string PlatformTextOf(const uint8_t* reply, int32_t length);

// Asks a handset in diagnostic mode for its platform text (the version request); empty when it
// gives none.
std::string AskPlatformText(CSerCOMLibrary& link);

// Asks a handset its ESN: the phone status reply in diagnostic mode, AT+GSN in AT data mode;
// none in download mode, or when it gives none.
std::optional<uint32_t> AskEsn(CSerCOMLibrary& link);

// Finds the handset on portName (COMn), brings it from AT data mode to diagnostic mode if
// needed, asks its software version and platform, and closes the port. A handset found in
// download mode cannot answer those questions: only its mode is told. 1, or the link's negative
// code when no handset could be reached (link.DetectionFailure() says why).
int32_t ReadHandsetInfo(CSerCOMLibrary& link, const char* portName, HandsetInfo& info);
