// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <cstdint>

// Result codes of the command transaction layer (CSerCOMLibrary).
constexpr int32_t SERCOM_OK = 1;
constexpr int32_t SERCOM_ERR_PARAM = static_cast<int32_t>(0xF0000301);        // label or port name missing
constexpr int32_t SERCOM_ERR_OPEN = static_cast<int32_t>(0xF0000302);         // the channel failed to open
constexpr int32_t SERCOM_ERR_NO_MODE = static_cast<int32_t>(0xF0000303);      // mode undetermined after 30 tries
constexpr int32_t SERCOM_ERR_DL_NOT_DIAG = static_cast<int32_t>(0xF0000305);  // in DL mode, DIAG wanted
constexpr int32_t SERCOM_ERR_WRONG_MODE = static_cast<int32_t>(0xF0000306);   // not in the call's mode
constexpr int32_t SERCOM_ERR_WRITE = static_cast<int32_t>(0xF0000310);        // writing the frame failed
constexpr int32_t SERCOM_ERR_TIMEOUT = static_cast<int32_t>(0xF0000311);      // no response, or too large
constexpr int32_t SERCOM_ERR_CHANGE = static_cast<int32_t>(0xF0000312);       // the mode change failed
