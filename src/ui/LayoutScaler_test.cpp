#include "ui/LayoutScaler.h"

#include <gtest/gtest.h>

#include <sstream>

// Positions in integers, extents in doubles, every conversion truncating toward zero; each move
// ("x y width height") and then the stored row ("-> left top right bottom").
TEST(LayoutScaler, ScalesEachRowAndStoresTheResult) {
    const struct {
        LayoutEntry entry;
        int32_t oldW, oldH, newW, newH;
        const char* expected;
    } cases[] = {
        {{nullptr, 11, 31, 389, 51}, 400, 100, 500, 130, "13 40 472 26 -> 13 40 485 66"},  // 13.75, 40.3, 472.5
        {{nullptr, -3, -3, 5, 5}, 400, 400, 500, 500, "-3 -3 10 10 -> -3 -3 7 7"},        // -3.75 -> -3
        {{nullptr, -6, 0, -5, 1}, 400, 1, 500, 1, "-7 0 1 1 -> -7 0 -5 1"},               // -5.75 -> -5
        {{nullptr, INT32_MIN, 0, INT32_MAX, 10}, 1, 1, 1000, 1, "-2147483648 0 2147483647 10 -> -2147483648 0 2147483647 10"},
        // Any size 0: nothing moves, nothing changes.
        {{nullptr, 11, 31, 389, 51}, 0, 100, 500, 130, "-> 11 31 389 51"}, {{nullptr, 1, 1, 2, 2}, 4, 0, 5, 1, "-> 1 1 2 2"},
        {{nullptr, 11, 31, 389, 51}, 400, 100, 0, 130, "-> 11 31 389 51"}, {{nullptr, 1, 1, 2, 2}, 4, 1, 5, 0, "-> 1 1 2 2"},
    };
    for (const auto& c : cases) {
        CLayoutScaler scaler;
        scaler.Add(c.entry);
        std::ostringstream out;
        scaler.Scale(c.oldW, c.oldH, c.newW, c.newH, [&](const LayoutEntry&, const LayoutPlacement& p) {
            out << p.x << ' ' << p.y << ' ' << p.width << ' ' << p.height << ' ';
        });
        const LayoutEntry& stored = scaler.GetAt(0);
        out << "-> " << stored.left << ' ' << stored.top << ' ' << stored.right << ' ' << stored.bottom;
        EXPECT_EQ(out.str(), c.expected);
    }
}
