// SPDX-License-Identifier: Apache-2.0
// The handset's ESN as the status reply and AT+GSN give it, and what is no ESN at all.
#include "serial/handset_identity.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

std::optional<uint32_t> FromLine(const Bytes& bytes) { return EsnOfStatusLine(bytes.data(), bytes.size()); }

TEST(HandsetIdentity, TheStatusReplyGivesItsEsnUnescapedAndLowByteFirst) {
    // 0C, three bytes, then the ESN 7E7D0102 sent low byte first, 7D and 7E escaped.
    const Bytes line = {0x0C, 0x00, 0x00, 0x00, 0x02, 0x01, 0x7D, 0x5D, 0x7D, 0x5E, 0x01, 0x00, 0xAA, 0xBB, 0x7E};
    EXPECT_EQ(FromLine(line), 0x7E7D0102u);
    // The same with a leading flag, and as the frame decoder hands the payload over.
    Bytes flagged = line;
    flagged.insert(flagged.begin(), 0x7E);
    EXPECT_EQ(FromLine(flagged), 0x7E7D0102u);
    const Bytes payload = {0x0C, 0x00, 0x00, 0x00, 0xC4, 0x10, 0x2A, 0x8F, 0x01, 0x00};
    EXPECT_EQ(EsnOfStatusPayload(payload.data(), payload.size()), 0x8F2A10C4u);
    EXPECT_EQ(EsnText(0x8F2A10C4), "8F2A10C4");
    EXPECT_EQ(EsnText(0x0000000A), "0000000A");
    EXPECT_EQ(EsnDecimal(0x8F2A10C4), "14302756804");  // 0x8F = 143, 0x2A10C4 = 2756804
    EXPECT_EQ(EsnDecimal(0xFFFFFFFF), "25516777215");
}

TEST(HandsetIdentity, ABadStatusReplyGivesNoEsn) {
    const std::vector<Bytes> bad = {
        {},
        {0x0C, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03},                    // ends before byte 7
        {0x0C, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03, 0x7E, 0x04},        // the frame ends before byte 7
        {0x0C, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03, 0x7D},              // an escape with nothing after it
        {0x0C, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03, 0x7D, 0x7E, 0x00},  // an escape cut by the flag
        {0x13, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03, 0x04, 0x05},        // no status reply
        {0x7E, 0x7E, 0x7E},
    };
    for (const Bytes& reply : bad) {
        EXPECT_FALSE(FromLine(reply)) << reply.size() << " bytes";
    }
    const Bytes shortPayload = {0x0C, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03};
    EXPECT_FALSE(EsnOfStatusPayload(shortPayload.data(), shortPayload.size()));
    const Bytes otherPayload = {0x13, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03, 0x04};
    EXPECT_FALSE(EsnOfStatusPayload(otherPayload.data(), otherPayload.size()));
    EXPECT_FALSE(EsnOfStatusLine(nullptr, 40));
    EXPECT_FALSE(EsnOfStatusPayload(nullptr, 40));
}

TEST(HandsetIdentity, AtGsnIsReadInEachFormatAndNothingElseIsTakenForIt) {
    for (const char* reply : {"at+gsn\r\r\n+GSN: 8F2A10C4\r\n\r\nOK\r\n", "AT+GSN\r\r\n0x8f2a10c4\r\n\r\nOK\r\n",
                              "\r\n8F2A10C4\r\nOK\r\n", "+gsn:8F2A10C4", "  0X8F2A10C4  \r\n"}) {
        EXPECT_EQ(EsnOfGsnReply(reply), 0x8F2A10C4u) << reply;
    }
    for (const char* reply :
         {"", "at+gsn\r\r\nERROR\r\n", "\r\n+GSN: 8F2A10C\r\nOK\r\n", "+GSN: 8F2A10C45\r\n", "+GSN: 8F2A1OC4\r\n",
          "0x\r\n", "+GSN: 0x 8F2A10C4", "12345678901\r\nOK", "\r\n+GSN: -8F2A10C\r\n"}) {
        EXPECT_FALSE(EsnOfGsnReply(reply)) << reply;
    }
    // Bytes that are no text at all do not trip it either.
    std::string noise(300, '\0');
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 37);
    EXPECT_FALSE(EsnOfGsnReply(noise));
}

}  // namespace
