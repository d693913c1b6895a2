#include "ui/FennickDlg.h"

void CFennickDlg::CollectChildRects() {
    m_layout.RemoveAll();
    EnumChildWindows(m_hWnd, &EnumChildRectProc, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK EnumChildRectProc(HWND hWnd, LPARAM lParam) {
    auto* dialog = reinterpret_cast<CFennickDlg*>(lParam);
    if (dialog == nullptr || hWnd == dialog->m_hWnd) return TRUE;
    RECT rect{};
    if (GetWindowRect(hWnd, &rect) != 1) return TRUE;
    POINT topLeft{rect.left, rect.top};
    POINT bottomRight{rect.right, rect.bottom};
    ScreenToClient(dialog->m_hWnd, &topLeft);
    ScreenToClient(dialog->m_hWnd, &bottomRight);
    dialog->m_layout.Add(LayoutEntry{hWnd, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y});
    return TRUE;
}

void CFennickDlg::ScaleChildRects(int oldWidth, int oldHeight, int newWidth, int newHeight) {
    m_layout.Scale(oldWidth, oldHeight, newWidth, newHeight,
                   [](const LayoutEntry& entry, const LayoutPlacement& placement) {
                       MoveWindow(entry.hWnd, placement.x, placement.y, placement.width, placement.height, TRUE);
                   });
}
