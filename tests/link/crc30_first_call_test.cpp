// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include "link/crc.h"

// Alone in its program: the running register must start at its initial value, so a process's
// very first Crc30CalcPart call, even with the last phase, gives the CRC of its chunk alone.
TEST(Crc30CalcPartFirstCall, LastPhaseAsFirstCallStartsFromTheInitialRegister) {
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(Crc30CalcPart(digits, 9 * 8, CRC30_LAST), 0x04C34ABFu);
}
