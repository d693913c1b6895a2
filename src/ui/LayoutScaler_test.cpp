#include "ui/LayoutScaler.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Move {
    HWND hWnd;
    LayoutPlacement placement;
};

std::vector<Move> ScaleAll(CLayoutScaler& scaler, int w0, int h0, int w1, int h1) {
    std::vector<Move> moves;
    scaler.Scale(w0, h0, w1, h1, [&](const LayoutEntry& entry, const LayoutPlacement& placement) {
        moves.push_back(Move{entry.hWnd, placement});
    });
    return moves;
}

HWND FakeWindow(int n) { return reinterpret_cast<HWND>(static_cast<INT_PTR>(n)); }

void ExpectEdges(const LayoutEntry& entry, int left, int top, int right, int bottom) {
    EXPECT_EQ(entry.left, left);
    EXPECT_EQ(entry.top, top);
    EXPECT_EQ(entry.right, right);
    EXPECT_EQ(entry.bottom, bottom);
}

}  // namespace

TEST(LayoutScaler, ScalesPositionsAsIntegersAndExtentsTruncated) {
    CLayoutScaler scaler;
    scaler.Add(LayoutEntry{FakeWindow(1), 11, 31, 389, 51});
    const std::vector<Move> moves = ScaleAll(scaler, 400, 100, 500, 130);

    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].hWnd, FakeWindow(1));
    EXPECT_EQ(moves[0].placement.x, 13);       // 13.75
    EXPECT_EQ(moves[0].placement.y, 40);       // 40.3
    EXPECT_EQ(moves[0].placement.width, 472);  // 472.5
    EXPECT_EQ(moves[0].placement.height, 26);
    ExpectEdges(scaler.GetAt(0), 13, 40, 485, 66);
}

TEST(LayoutScaler, NegativeEdgesTruncateTowardZero) {
    CLayoutScaler scaler;
    scaler.Add(LayoutEntry{FakeWindow(1), -3, -3, 5, 5});
    const std::vector<Move> moves = ScaleAll(scaler, 400, 400, 500, 500);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].placement.x, -3);   // -3.75, not -4
    EXPECT_EQ(moves[0].placement.width, 10);
    ExpectEdges(scaler.GetAt(0), -3, -3, 7, 7);

    // A negative sum truncates toward zero as well: -7 + 1.25 = -5.75 -> -5.
    CLayoutScaler narrow;
    narrow.Add(LayoutEntry{FakeWindow(2), -6, 0, -5, 1});
    ScaleAll(narrow, 400, 1, 500, 1);
    EXPECT_EQ(narrow.GetAt(0).left, -7);
    EXPECT_EQ(narrow.GetAt(0).right, -5);
}

TEST(LayoutScaler, AnyZeroSizeLeavesEverythingAlone) {
    const int sizes[4][4] = {{0, 100, 500, 130}, {400, 0, 500, 130}, {400, 100, 0, 130}, {400, 100, 500, 0}};
    for (const auto& s : sizes) {
        CLayoutScaler scaler;
        scaler.Add(LayoutEntry{FakeWindow(1), 11, 31, 389, 51});
        EXPECT_TRUE(ScaleAll(scaler, s[0], s[1], s[2], s[3]).empty());
        ExpectEdges(scaler.GetAt(0), 11, 31, 389, 51);
    }
}

TEST(LayoutScaler, ScalingTwiceScalesFromTheStoredResult) {
    CLayoutScaler scaler;
    scaler.Add(LayoutEntry{FakeWindow(1), 11, 31, 389, 51});
    scaler.Add(LayoutEntry{FakeWindow(2), 0, 0, 400, 100});
    ScaleAll(scaler, 400, 100, 500, 130);
    const std::vector<Move> second = ScaleAll(scaler, 400, 100, 500, 130);

    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(second[0].hWnd, FakeWindow(1));   // table order kept
    EXPECT_EQ(second[1].hWnd, FakeWindow(2));
    // 13*500/400 = 16; 40*130/100 = 52; 472*1.25 = 590; 130*26/100 = 33.8.
    ExpectEdges(scaler.GetAt(0), 16, 52, 606, 85);
    ExpectEdges(scaler.GetAt(1), 0, 0, 625, 169);
}

TEST(LayoutScaler, EmptyTableAndClearing) {
    CLayoutScaler scaler;
    EXPECT_TRUE(ScaleAll(scaler, 400, 100, 500, 130).empty());
    scaler.Add(LayoutEntry{FakeWindow(1), 1, 2, 3, 4});
    EXPECT_EQ(scaler.GetCount(), 1u);
    scaler.RemoveAll();
    EXPECT_EQ(scaler.GetCount(), 0u);
}

TEST(LayoutScaler, ExtremeValuesStayInRange) {
    CLayoutScaler scaler;
    scaler.Add(LayoutEntry{FakeWindow(1), -2147483647 - 1, 0, 2147483647, 10});
    const std::vector<Move> moves = ScaleAll(scaler, 1, 1, 1000, 1);
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(scaler.GetAt(0).left, -2147483647 - 1);
    EXPECT_EQ(moves[0].placement.width, 2147483647);
}
