#include "ui/LayoutScaler.h"

#include <limits>

namespace {

// Truncation toward zero, held inside the 32-bit range (a cast of an out-of-range double
// would be undefined).
int32_t TruncateToInt32(double value) {
    if (value != value) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t ClampToInt32(long long value) {
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// edge * newSize / oldSize with integer division truncating toward zero. The product is taken
// at 64 bits so that it cannot overflow.
int32_t ScalePosition(int32_t edge, int32_t newSize, int32_t oldSize) {
    return ClampToInt32(static_cast<long long>(edge) * newSize / oldSize);
}

}  // namespace

LayoutPlacement ScaleLayoutEntry(LayoutEntry& entry, int32_t oldWidth, int32_t oldHeight,
                                 int32_t newWidth, int32_t newHeight) {
    const int32_t left = ScalePosition(entry.left, newWidth, oldWidth);
    const int32_t top = ScalePosition(entry.top, newHeight, oldHeight);
    const double width = (static_cast<double>(entry.right) - entry.left) * newWidth / oldWidth;
    const double height = static_cast<double>(newHeight) * (static_cast<double>(entry.bottom) - entry.top) / oldHeight;

    entry.left = left;
    entry.top = top;
    entry.right = TruncateToInt32(left + width);
    entry.bottom = TruncateToInt32(top + height);
    return LayoutPlacement{left, top, TruncateToInt32(width), TruncateToInt32(height)};
}

void CLayoutScaler::Scale(int32_t oldWidth, int32_t oldHeight, int32_t newWidth, int32_t newHeight,
                          const MoveFunction& move) {
    if (oldWidth == 0 || oldHeight == 0 || newWidth == 0 || newHeight == 0) return;
    for (LayoutEntry& entry : m_entries) {
        const LayoutPlacement placement = ScaleLayoutEntry(entry, oldWidth, oldHeight, newWidth, newHeight);
        if (move) move(entry, placement);
    }
}
