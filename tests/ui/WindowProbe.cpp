#include "WindowProbe.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "Json.h"

namespace {

const int MESSAGE_BOX_TEXT_ID = 0xFFFF;

struct DcReleaser {
    void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct ObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using ScreenDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcReleaser>;
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using GdiObject = std::unique_ptr<std::remove_pointer_t<HGDIOBJ>, ObjectDeleter>;

std::string RectJson(const RECT& r) {
    char text[128];
    std::snprintf(text, sizeof(text), "[%ld, %ld, %ld, %ld]", static_cast<long>(r.left), static_cast<long>(r.top),
                  static_cast<long>(r.right), static_cast<long>(r.bottom));
    return text;
}

std::vector<HWND> ChildrenOf(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

bool IsMessageBox(HWND hWnd) {
    return ClassNameOf(hWnd) == L"#32770" && GetDlgItem(hWnd, MESSAGE_BOX_TEXT_ID) != nullptr &&
           GetDlgItem(hWnd, 1000) == nullptr;
}

// Pixels of a rectangle of the screen, 32 bits per pixel, top row first.
std::vector<DWORD> CaptureScreen(const RECT& r) {
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    if (width <= 0 || height <= 0 || width > 512 || height > 512) return {};
    ScreenDc screen(GetDC(nullptr));
    MemoryDc memory(CreateCompatibleDC(screen.get()));
    GdiObject bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    if (!screen || !memory || !bitmap) return {};
    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, width, height, screen.get(), r.left, r.top, SRCCOPY);
    SelectObject(memory.get(), old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    if (GetDIBits(memory.get(), static_cast<HBITMAP>(bitmap.get()), 0, height, pixels.data(), &info, DIB_RGB_COLORS) != height) {
        return {};
    }
    return pixels;
}

// The opaque pixels of a system icon: colour (0 = transparent marker kept apart by `opaque`).
struct IconPixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> colour;
    std::vector<bool> opaque;
};

IconPixels ReadIcon(HICON icon) {
    IconPixels result;
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return result;
    GdiObject colourBitmap(info.hbmColor);
    GdiObject maskBitmap(info.hbmMask);
    if (!colourBitmap) return result;
    BITMAP bm{};
    GetObjectW(info.hbmColor, sizeof(bm), &bm);
    result.width = bm.bmWidth;
    result.height = bm.bmHeight;
    ScreenDc screen(GetDC(nullptr));
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    const size_t count = static_cast<size_t>(bm.bmWidth) * bm.bmHeight;
    result.colour.assign(count, 0);
    std::vector<DWORD> mask(count, 0);
    GetDIBits(screen.get(), info.hbmColor, 0, bm.bmHeight, result.colour.data(), &bi, DIB_RGB_COLORS);
    BITMAPINFO mi = bi;
    GetDIBits(screen.get(), info.hbmMask, 0, bm.bmHeight, mask.data(), &mi, DIB_RGB_COLORS);
    bool hasAlpha = false;
    for (DWORD p : result.colour) hasAlpha = hasAlpha || (p >> 24) != 0;
    result.opaque.assign(count, false);
    for (size_t i = 0; i < count; ++i) {
        result.opaque[i] = hasAlpha ? (result.colour[i] >> 24) == 0xFF : (mask[i] & 0xFFFFFF) == 0;
    }
    return result;
}

// Which standard message-box icon a captured icon control shows, by comparing opaque pixels.
std::string MatchIcon(const std::vector<DWORD>& screen, const RECT& r) {
    const int width = r.right - r.left;
    const struct {
        LPCWSTR id;
        const char* name;
    } candidates[] = {{IDI_HAND, "hand"}, {IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "exclamation"}, {IDI_ASTERISK, "asterisk"}};
    std::string best = "unknown";
    double bestScore = 1e18;
    for (const auto& candidate : candidates) {
        const IconPixels icon = ReadIcon(LoadIconW(nullptr, candidate.id));
        double total = 0;
        size_t counted = 0;
        for (int y = 0; y < icon.height && y < r.bottom - r.top; ++y) {
            for (int x = 0; x < icon.width && x < width; ++x) {
                const size_t i = static_cast<size_t>(y) * icon.width + x;
                if (!icon.opaque[i]) continue;
                const DWORD a = icon.colour[i];
                const DWORD b = screen[static_cast<size_t>(y) * width + x];
                for (int shift = 0; shift < 24; shift += 8) {
                    total += std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
                }
                ++counted;
            }
        }
        if (counted == 0) continue;
        const double score = total / static_cast<double>(counted);
        if (score < bestScore) {
            bestScore = score;
            best = candidate.name;
        }
    }
    return bestScore < 16.0 ? best : "unknown";
}

// The icon as painted on screen; a box that has just appeared may not be painted yet, so the
// capture is repeated until it matches or the deadline passes.
std::string IdentifyIcon(HWND iconControl) {
    const ULONGLONG deadline = GetTickCount64() + 3000;
    for (;;) {
        RedrawWindow(GetParent(iconControl), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT r{};
        GetWindowRect(iconControl, &r);
        const std::vector<DWORD> screen = CaptureScreen(r);
        const std::string name = screen.empty() ? std::string("unknown") : MatchIcon(screen, r);
        if (name != "unknown" || GetTickCount64() >= deadline) return name;
        Sleep(25);
    }
}

std::string ControlJson(HWND dialog, int id) {
    HWND control = GetDlgItem(dialog, id);
    if (control == nullptr) return "null";
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return "{\"text\": " + JsonString(TextOf(control)) + ", \"visible\": " + JsonBool(IsWindowVisible(control) != 0) +
           ", \"rect\": " + RectJson(r) + "}";
}

}  // namespace

std::wstring ClassNameOf(HWND hWnd) {
    wchar_t name[256] = {};
    const int length = GetClassNameW(hWnd, name, 256);
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring TextOf(HWND hWnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length) || length > 32767) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hWnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             2000, &copied)) {
        return std::wstring();
    }
    return std::wstring(buffer.data(), copied <= length ? copied : length);
}

DWORD ProcessOf(HWND hWnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    return pid;
}

std::vector<HWND> TopLevelWindowsOf(DWORD pid) {
    struct Search {
        DWORD pid;
        std::vector<HWND> found;
    } search{pid, {}};
    EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            if (s->pid == 0 || ProcessOf(hWnd) == s->pid) s->found.push_back(hWnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindProgressDialog(DWORD pid) {
    for (HWND hWnd : TopLevelWindowsOf(pid)) {
        if (ClassNameOf(hWnd) != L"#32770") continue;
        HWND progress = GetDlgItem(hWnd, 1000);
        if (progress != nullptr && ClassNameOf(progress) == std::wstring(PROGRESS_CLASSW)) return hWnd;
    }
    return nullptr;
}

HWND FindOwnedMessageBox(HWND owner) {
    for (HWND hWnd : TopLevelWindowsOf(ProcessOf(owner))) {
        if (GetWindow(hWnd, GW_OWNER) == owner && IsWindowVisible(hWnd) && IsMessageBox(hWnd)) return hWnd;
    }
    return nullptr;
}

std::vector<HWND> FindOwnerlessMessageBoxes(DWORD pid) {
    std::vector<HWND> boxes;
    for (HWND hWnd : TopLevelWindowsOf(pid)) {
        if (GetWindow(hWnd, GW_OWNER) == nullptr && IsWindowVisible(hWnd) && IsMessageBox(hWnd)) boxes.push_back(hWnd);
    }
    return boxes;
}

std::string DescribeMessageBox(HWND box) {
    std::string buttons;
    std::string icon = "none";
    for (HWND child : ChildrenOf(box)) {
        const std::wstring cls = ClassNameOf(child);
        if (!IsWindowVisible(child)) continue;
        if (_wcsicmp(cls.c_str(), L"Button") == 0) {
            if (!buttons.empty()) buttons += ", ";
            buttons += std::to_string(GetDlgCtrlID(child));
        } else if (_wcsicmp(cls.c_str(), L"Static") == 0 &&
                   (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            // A box without icon may keep an empty icon control.
            DWORD_PTR hIcon = 0;
            SendMessageTimeoutW(child, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &hIcon);
            if (hIcon != 0) icon = IdentifyIcon(child);
        }
    }
    char hwndText[32];
    std::snprintf(hwndText, sizeof(hwndText), "%llu", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(box)));
    return std::string("{\"hwnd\": ") + hwndText + ", \"pid\": " + std::to_string(ProcessOf(box)) +
           ", \"caption\": " + JsonString(TextOf(box)) + ", \"text\": " + JsonString(TextOf(GetDlgItem(box, MESSAGE_BOX_TEXT_ID))) +
           ", \"icon\": \"" + icon + "\", \"buttons\": [" + buttons + "]}";
}

std::string DescribeDialog(HWND dialog) {
    RECT outer{};
    GetWindowRect(dialog, &outer);
    RECT client{};
    GetClientRect(dialog, &client);
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    HWND box = FindOwnedMessageBox(dialog);
    char hwndText[32];
    std::snprintf(hwndText, sizeof(hwndText), "%llu", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(dialog)));
    const int position = static_cast<int>(SendMessageW(GetDlgItem(dialog, 1000), PBM_GETPOS, 0, 0));
    return std::string("{\"hwnd\": ") + hwndText + ", \"pid\": " + std::to_string(ProcessOf(dialog)) +
           ", \"caption\": " + JsonString(TextOf(dialog)) + ", \"visible\": " + JsonBool(IsWindowVisible(dialog) != 0) +
           ", \"iconic\": " + JsonBool(IsIconic(dialog) != 0) + ", \"rect\": " + RectJson(outer) + ", \"client\": " + RectJson(client) +
           ", \"screen\": [" + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + ", " + std::to_string(GetSystemMetrics(SM_CYSCREEN)) +
           "], \"work_area\": " + RectJson(work) + ", \"controls\": {\"1001\": " + ControlJson(dialog, 1001) +
           ", \"1002\": " + ControlJson(dialog, 1002) + ", \"1003\": " + ControlJson(dialog, 1003) +
           ", \"1000\": " + ControlJson(dialog, 1000) + "}, \"progress\": " + std::to_string(position) +
           ", \"messagebox\": " + (box != nullptr ? DescribeMessageBox(box) : std::string("null")) + "}";
}
