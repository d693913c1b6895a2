#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// One child window and its edges in the dialog's client coordinates (right/bottom exclusive).
struct LayoutEntry {
    HWND hWnd;
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Where a scaled window goes: the arguments of MoveWindow.
struct LayoutPlacement {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

// Scales one row from the old outer size to the new one and rewrites it: positions in integer
// arithmetic, extents in double precision, every conversion truncating toward zero.
// The sizes must not be 0 (CLayoutScaler::Scale checks).
LayoutPlacement ScaleLayoutEntry(LayoutEntry& entry, int32_t oldWidth, int32_t oldHeight,
                                 int32_t newWidth, int32_t newHeight);

// The recorded child-window rectangles of a dialog, in the order they were appended.
class CLayoutScaler {
public:
    using MoveFunction = std::function<void(const LayoutEntry&, const LayoutPlacement&)>;

    void Add(const LayoutEntry& entry) { m_entries.push_back(entry); }
    size_t GetCount() const { return m_entries.size(); }
    const LayoutEntry& GetAt(size_t index) const { return m_entries.at(index); }
    void RemoveAll() { m_entries.clear(); }

    // Scales every row in order and hands each new placement to move. Does nothing at all
    // when any of the four sizes is 0; negative sizes are not rejected.
    void Scale(int32_t oldWidth, int32_t oldHeight, int32_t newWidth, int32_t newHeight,
               const MoveFunction& move);

private:
    std::vector<LayoutEntry> m_entries;
};
