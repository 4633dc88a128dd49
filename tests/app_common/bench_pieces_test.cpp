// SPDX-License-Identifier: Apache-2.0
// The bench window's pure pieces: its rows when the port list is read again, and the throttle
// on figures that move at every tick.
#include <gtest/gtest.h>

#include "app/common/figure_throttle.h"
#include "app/common/port_list_merge.h"

namespace {

std::string Describe(const std::vector<MergedRow>& merged) {
    std::string text;
    for (const MergedRow& row : merged) {
        text += row.port.port + "=" + row.port.device + (row.before ? "@" + std::to_string(*row.before) : "+") + " ";
    }
    return text;
}

TEST(PortListMerge, RowsKeepTheirPlaceNewPortsComeInNumberOrderAndGonePortsStayOnlyWhenKept) {
    const std::vector<ListedPort> shown = {
        {"COM3", "/dev/ttyS2"}, {"COM10", "/dev/ttyUSB0"}, {"COM12", "/dev/ttyUSB2"}};
    // COM10 left, COM11 came, COM3 moved to another device, COM2 twice (the first wins).
    const std::vector<ListedPort> listed = {{"COM12", "/dev/ttyUSB2"},
                                            {"COM11", "/dev/ttyUSB1"},
                                            {"COM3", "/dev/ttyS3"},
                                            {"COM2", "/dev/a"},
                                            {"COM2", "/dev/b"}};
    EXPECT_EQ(Describe(MergePortList(listed, shown, [](size_t) { return false; })),
              "COM2=/dev/a+ COM3=/dev/ttyS3@0 COM11=/dev/ttyUSB1+ COM12=/dev/ttyUSB2@2 ");
    // A row that runs (or has counts) keeps its place after its port left the list.
    EXPECT_EQ(Describe(MergePortList(listed, shown, [](size_t row) { return row == 1; })),
              "COM2=/dev/a+ COM3=/dev/ttyS3@0 COM10=/dev/ttyUSB0@1 COM11=/dev/ttyUSB1+ COM12=/dev/ttyUSB2@2 ");
}

TEST(PortListMerge, TheSameListChangesNothingButANewDeviceDoes) {
    const std::vector<ListedPort> shown = {{"COM5", "/dev/ttyACM0"}, {"COM6", "/dev/ttyACM1"}};
    const auto keepNone = [](size_t) { return false; };
    EXPECT_TRUE(SameRows(MergePortList(shown, shown, keepNone), shown));
    EXPECT_TRUE(SameRows(MergePortList({shown[1], shown[0]}, shown, keepNone), shown)) << "listed out of order";
    EXPECT_FALSE(SameRows(MergePortList({shown[0], {"COM6", "/dev/ttyACM2"}}, shown, keepNone), shown));
    EXPECT_FALSE(SameRows(MergePortList({shown[0]}, shown, keepNone), shown));
    EXPECT_TRUE(MergePortList({}, {}, keepNone).empty());
}

TEST(FigureThrottle, FiguresWaitTheirPeriodUnlessSomethingElseChanged) {
    FigureThrottle throttle(std::chrono::milliseconds(1000));
    const FigureThrottle::Clock::time_point start{std::chrono::seconds(100)};
    EXPECT_TRUE(throttle.Elapsed(start)) << "nothing drawn yet";
    EXPECT_TRUE(throttle.Due(start, false)) << "the first drawing";
    EXPECT_FALSE(throttle.Due(start + std::chrono::milliseconds(400), false));
    EXPECT_FALSE(throttle.Elapsed(start + std::chrono::milliseconds(999)));
    // Another change draws at once, and the period starts again from there.
    EXPECT_TRUE(throttle.Due(start + std::chrono::milliseconds(500), true));
    EXPECT_FALSE(throttle.Due(start + std::chrono::milliseconds(1200), false));
    EXPECT_TRUE(throttle.Elapsed(start + std::chrono::milliseconds(1500)));
    EXPECT_TRUE(throttle.Due(start + std::chrono::milliseconds(1500), false));
}

}  // namespace
