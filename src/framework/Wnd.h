#pragma once
#include <windows.h>

#include <string>

// Thin wrapper of a window handle. The handle is public because worker threads talk to the
// controls directly with SendMessageW; the wrapper never owns or destroys the window.
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    // Reads the text through WM_GETTEXT (so a call from another thread waits for the window's
    // thread). Texts longer than MAX_TEXT_LENGTH characters, or an unreadable window, give "".
    std::wstring GetWindowText() const;
    void SetWindowText(const std::wstring& text);

    BOOL ShowWindow(int nCmdShow) const { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }

    static constexpr int MAX_TEXT_LENGTH = 4095;

    HWND m_hWnd = nullptr;
};

class CStatic : public CWnd {};

// The bar's position is set by the progress reports on the worker thread, through its handle.
class CProgressCtrl : public CWnd {
public:
    void SetRange(int nLower, int nUpper) const;
};
