#include "framework/Dialog.h"

#include <cstring>
#include <vector>

#include "framework/WinApp.h"

namespace {

// The dialog template of the executable, copied so that its style can be adjusted.
std::vector<unsigned char> LoadDialogTemplate(UINT nIDTemplate) {
    HMODULE hModule = GetModuleHandleW(nullptr);
    HRSRC hResource = FindResourceW(hModule, MAKEINTRESOURCEW(nIDTemplate), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (hResource == nullptr) return {};
    const DWORD size = SizeofResource(hModule, hResource);
    HGLOBAL hLoaded = LoadResource(hModule, hResource);
    const void* data = hLoaded != nullptr ? LockResource(hLoaded) : nullptr;
    if (data == nullptr || size < sizeof(DLGTEMPLATE)) return {};
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

// Offset of the style field: DLGTEMPLATEEX starts with version 1 and signature 0xFFFF.
size_t StyleOffset(const std::vector<unsigned char>& dialogTemplate) {
    WORD version = 0;
    WORD signature = 0;
    std::memcpy(&version, dialogTemplate.data(), sizeof(WORD));
    std::memcpy(&signature, dialogTemplate.data() + sizeof(WORD), sizeof(WORD));
    return (version == 1 && signature == 0xFFFF) ? 12 : 0;
}

void CentreWindow(HWND hWnd, HWND hOwner) {
    RECT window;
    if (!GetWindowRect(hWnd, &window)) return;
    RECT area;
    if (hOwner != nullptr && IsWindowVisible(hOwner) && !IsIconic(hOwner)) {
        if (!GetWindowRect(hOwner, &area)) return;
    } else {
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        if (!GetMonitorInfoW(MonitorFromWindow(hWnd, MONITOR_DEFAULTTOPRIMARY), &info)) return;
        area = info.rcWork;
    }
    const int width = window.right - window.left;
    const int height = window.bottom - window.top;
    const int x = area.left + ((area.right - area.left) - width) / 2;
    const int y = area.top + ((area.bottom - area.top) - height) / 2;
    SetWindowPos(hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

CDialog::CDialog(UINT nIDTemplate, HWND hParent) : m_nIDTemplate(nIDTemplate), m_hParent(hParent) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr && IsWindow(m_hWnd)) DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal() {
    std::vector<unsigned char> dialogTemplate = LoadDialogTemplate(m_nIDTemplate);
    if (dialogTemplate.empty()) return -1;
    // The window is shown only once its initialisation has run (and it has been centred),
    // and not at all when it ended itself during the initialisation.
    const size_t styleOffset = StyleOffset(dialogTemplate);
    DWORD style = 0;
    std::memcpy(&style, dialogTemplate.data() + styleOffset, sizeof(style));
    const bool visible = (style & WS_VISIBLE) != 0;
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(dialogTemplate.data() + styleOffset, &style, sizeof(style));

    m_bEndModal = false;
    m_bInitialised = false;
    m_nModalResult = -1;
    HWND hWnd = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                           reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()),
                                           m_hParent, InitialDialogProc, reinterpret_cast<LPARAM>(this));
    if (hWnd == nullptr) return -1;
    if (!m_bEndModal && visible) {
        ::ShowWindow(hWnd, SW_SHOWNORMAL);
        UpdateWindow(hWnd);
    }

    MSG msg;
    while (!m_bEndModal) {
        const BOOL result = GetMessageW(&msg, nullptr, 0, 0);
        if (result == 0) {
            // Leave the quit request for the application's loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (result == -1) break;
        if (!IsDialogMessageW(hWnd, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (IsWindow(hWnd)) DestroyWindow(hWnd);
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bEndModal = true;
    // Wake the modal loop if it is waiting.
    if (m_hWnd != nullptr) ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

INT_PTR CALLBACK CDialog::InitialDialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* self = reinterpret_cast<CDialog*>(lParam);
    if (self == nullptr || self->m_bInitialised) return FALSE;
    self->m_bInitialised = true;
    self->m_hWnd = hWnd;
    SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->m_pfnSuper = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CDialog::SubclassProc)));

    RECT before{};
    GetWindowRect(hWnd, &before);
    const LRESULT result = self->RouteMessage(message, wParam, lParam);
    if (!self->m_bEndModal && IsWindow(hWnd)) self->CentreIfUnmoved(before);
    return static_cast<INT_PTR>(result);
}

LRESULT CALLBACK CDialog::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    if (self == nullptr || self->m_pfnSuper == nullptr) return DefDlgProcW(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        const WNDPROC super = self->m_pfnSuper;
        self->Detach();
        return CallWindowProcW(super, hWnd, message, wParam, lParam);
    }
    return self->RouteMessage(message, wParam, lParam);
}

LRESULT CDialog::RouteMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    // Handlers may run nested message loops (message boxes), so keep the outer message.
    const CurrentMessage outer = m_current;
    m_current = CurrentMessage{message, wParam, lParam};
    const LRESULT result = WindowProc(message, wParam, lParam);
    m_current = outer;
    return result;
}

void CDialog::Detach() {
    SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    // The framework's rule: the end of the main window ends the program's message loop.
    CWinApp* app = CWinApp::GetApp();
    if (app != nullptr && app->m_pMainWnd == this) {
        app->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
}

void CDialog::CentreIfUnmoved(const RECT& before) {
    RECT after{};
    if (!GetWindowRect(m_hWnd, &after)) return;
    if (after.left != before.left || after.top != before.top) return;
    if ((GetWindowLongW(m_hWnd, GWL_STYLE) & DS_CENTER) != 0) return;
    CentreWindow(m_hWnd, GetWindow(m_hWnd, GW_OWNER));
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    case WM_CLOSE:
        OnClose();
        return 0;
    case WM_TIMER:
        OnTimer(static_cast<UINT_PTR>(wParam));
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED || HIWORD(wParam) == 1 /* accelerator */) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        return Default();
    default:
        return Default();
    }
}

LRESULT CDialog::Default() {
    if (m_hWnd == nullptr || m_pfnSuper == nullptr || m_current.message == WM_INITDIALOG) return 0;
    return CallWindowProcW(m_pfnSuper, m_hWnd, m_current.message, m_current.wParam, m_current.lParam);
}

BOOL CDialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void CDialog::OnCancel() { ::SendMessageW(m_hWnd, WM_CLOSE, 0, 0); }

void CDialog::OnSysCommand(UINT, LPARAM) { Default(); }

void CDialog::OnPaint() { Default(); }

HCURSOR CDialog::OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(Default()); }

void CDialog::OnClose() { EndDialog(IDCANCEL); }

void CDialog::OnTimer(UINT_PTR) { Default(); }

void CDialog::BindControl(int nID, CWnd& control) const { control.m_hWnd = GetDlgItem(m_hWnd, nID); }
