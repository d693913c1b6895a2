#include "framework/Wnd.h"

#include <commctrl.h>

#include <vector>

std::wstring CWnd::GetWindowText() const {
    // WM_GETTEXTLENGTH / WM_GETTEXT, so that a caller on another thread is served by the
    // window's own thread.
    const LRESULT length = ::SendMessageW(m_hWnd, WM_GETTEXTLENGTH, 0, 0);
    if (length <= 0 || length > MAX_TEXT_LENGTH) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = ::SendMessageW(m_hWnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
    if (copied <= 0 || copied > length) return std::wstring();
    return std::wstring(buffer.data(), static_cast<size_t>(copied));
}

void CWnd::SetWindowText(const std::wstring& text) {
    ::SendMessageW(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CProgressCtrl::SetRange(int nLower, int nUpper) const {
    ::SendMessageW(m_hWnd, PBM_SETRANGE32, static_cast<WPARAM>(nLower), static_cast<LPARAM>(nUpper));
}
