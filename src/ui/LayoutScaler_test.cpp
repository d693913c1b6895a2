#include "ui/LayoutScaler.h"

#include <gtest/gtest.h>

// Positions in integers, extents in doubles, every conversion truncating toward zero.
TEST(LayoutScaler, ScalesEachRowAndStoresTheResult) {
    const int32_t kMin = -2147483647 - 1, kMax = 2147483647;
    const struct {
        LayoutEntry before;
        int32_t oldW, oldH, newW, newH;
        LayoutPlacement placement;
        LayoutEntry after;
    } cases[] = {
        // 13.75, 40.3, width 472.5
        {{nullptr, 11, 31, 389, 51}, 400, 100, 500, 130, {13, 40, 472, 26}, {nullptr, 13, 40, 485, 66}},
        // Scaling again starts from the stored result: 472 * 1.25 = 590.
        {{nullptr, 13, 40, 485, 66}, 400, 100, 500, 130, {16, 52, 590, 33}, {nullptr, 16, 52, 606, 85}},
        {{nullptr, -3, -3, 5, 5}, 400, 400, 500, 500, {-3, -3, 10, 10}, {nullptr, -3, -3, 7, 7}},  // -3.75 -> -3
        {{nullptr, -6, 0, -5, 1}, 400, 1, 500, 1, {-7, 0, 1, 1}, {nullptr, -7, 0, -5, 1}},  // -5.75 -> -5
        {{nullptr, kMin, 0, kMax, 10}, 1, 1, 1000, 1, {kMin, 0, kMax, 10}, {nullptr, kMin, 0, kMax, 10}},
    };
    for (const auto& c : cases) {
        CLayoutScaler scaler;
        scaler.Add(c.before);
        std::vector<LayoutPlacement> moves;
        scaler.Scale(c.oldW, c.oldH, c.newW, c.newH,
                     [&](const LayoutEntry&, const LayoutPlacement& placement) { moves.push_back(placement); });
        ASSERT_EQ(moves.size(), 1u);
        EXPECT_EQ(moves[0].x, c.placement.x);
        EXPECT_EQ(moves[0].y, c.placement.y);
        EXPECT_EQ(moves[0].width, c.placement.width);
        EXPECT_EQ(moves[0].height, c.placement.height);
        const LayoutEntry& stored = scaler.GetAt(0);
        EXPECT_EQ(stored.left, c.after.left);
        EXPECT_EQ(stored.top, c.after.top);
        EXPECT_EQ(stored.right, c.after.right);
        EXPECT_EQ(stored.bottom, c.after.bottom);
    }
}

TEST(LayoutScaler, AnyZeroSizeLeavesEverythingAlone) {
    CLayoutScaler scaler;
    scaler.Add(LayoutEntry{nullptr, 11, 31, 389, 51});
    for (int zero = 0; zero < 4; ++zero)
        scaler.Scale(zero == 0 ? 0 : 400, zero == 1 ? 0 : 100, zero == 2 ? 0 : 500, zero == 3 ? 0 : 130,
                     [](const LayoutEntry&, const LayoutPlacement&) { ADD_FAILURE() << "moved"; });
    EXPECT_EQ(scaler.GetAt(0).right, 389);
}
