// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <windows.h>

// The program's icon (IDR_MAINFRAME) at the system's size for metricX and metricY (SM_CXICON,
// SM_CYICON or the small ones); the caller destroys it.
HICON LoadProgramIcon(int metricX, int metricY);
