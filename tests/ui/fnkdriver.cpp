// fnkdriver: the one Win32 test tool of the end-to-end suites, run under Wine. Each call prints
// one JSON object on stdout and exits 0 (done / found), 1 (not found before the deadline) or 2 (usage).
//
// Windows of Fennick.exe and QXChkErr.exe (all take --desktop NAME and --timeout MS):
//   start EXE [--cwd DIR] [--env N=V]...   dialog --pid N          messagebox --pid N [--gone]
//   ownerless-box --text T [--pid N]       close|answer|key --pid N [--button ID] [--key esc|enter]
//   answer-box --hwnd H --button ID        wait-exit --pid N       windows --pid N     kill --pid N
//   checker [--folder DIR] [--finished] [--gone]     press --hwnd H --button ID
// Libraries, loaded by full path the way the installer loads them:
//   ftp REPORT QXFtp.dll "op|arg|..."...   one QXFtp session; one JSON line per operation in REPORT
//   http QXHttp.dll URL TARGET MAXREDIRECTS LOG [STOPAFTER]   one QXGFWCB call; "cb N" lines, "result N"
//   trust add|remove CERT.pem               the test CA in the prefix's machine ROOT store
// Waits poll with a deadline; nothing sleeps a fixed time to let something happen.
#include <windows.h>
#include <commctrl.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "QXFtp.h"
#include "app/resource.h"
#include "checks/CheckFinding.h"

namespace {

using Args = std::multimap<std::wstring, std::wstring>;
DWORD g_timeout = 10000;

std::string J(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(c) & 0xFFFFu);
        out += (c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\') ? std::string(1, static_cast<char>(c)) : escaped;
    }
    return out + "\"";
}
std::string J(const char* text) {  // 8-bit text from the FTP library
    std::wstring wide;
    for (; *text; ++text) wide += static_cast<wchar_t>(static_cast<unsigned char>(*text));
    return J(wide);
}
std::string J(bool value) { return value ? "true" : "false"; }
std::string J(long long value) { return std::to_string(value); }
std::string J(HWND hWnd) { return std::to_string(reinterpret_cast<UINT_PTR>(hWnd)); }
std::string J(const RECT& r) { return "[" + J(r.left + 0LL) + "," + J(r.top + 0LL) + "," + J(r.right + 0LL) + "," + J(r.bottom + 0LL) + "]"; }

int Print(const std::string& json, int code) {
    std::printf("%s\n", json.c_str());
    std::fflush(stdout);
    return code;
}
int Usage() { return Print("{\"error\": \"usage\"}", 2); }
std::wstring Get(const Args& a, const wchar_t* name) { auto it = a.find(name); return it == a.end() ? L"" : it->second; }
unsigned long long Num(const Args& a, const wchar_t* name) { return std::wcstoull(Get(a, name).c_str(), nullptr, 0); }

// Calls probe until it gives a non-null window or the deadline passes.
template <typename Probe>
HWND PollFor(Probe probe) {
    const ULONGLONG deadline = GetTickCount64() + g_timeout;
    for (;;) {
        HWND found = probe();
        if (found != nullptr || GetTickCount64() >= deadline) return found;
        Sleep(25);
    }
}

std::wstring ClassOf(HWND hWnd) {
    wchar_t name[256] = {};
    return std::wstring(name, static_cast<size_t>(GetClassNameW(hWnd, name, 256)));
}
std::wstring TextOf(HWND hWnd) {
    wchar_t text[4096] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &copied);
    return text;
}
DWORD ProcessOf(HWND hWnd) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    return pid;
}

struct Collect {
    DWORD pid;
    std::vector<HWND> found;
};
BOOL CALLBACK AddWindow(HWND hWnd, LPARAM lParam) {
    auto* c = reinterpret_cast<Collect*>(lParam);
    if (c->pid == 0 || ProcessOf(hWnd) == c->pid) c->found.push_back(hWnd);
    return TRUE;
}
std::vector<HWND> TopLevel(DWORD pid) {
    Collect c{pid, {}};
    EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&c));
    return c.found;
}
std::vector<HWND> Children(HWND parent) {
    Collect c{0, {}};
    EnumChildWindows(parent, AddWindow, reinterpret_cast<LPARAM>(&c));
    return c.found;
}

bool IsDialogWith(HWND hWnd, int id, const wchar_t* cls) {
    HWND control = GetDlgItem(hWnd, id);
    return ClassOf(hWnd) == L"#32770" && control != nullptr && (cls == nullptr || ClassOf(control) == cls);
}
HWND ProgressDialog(DWORD pid) {
    for (HWND hWnd : TopLevel(pid))
        if (IsDialogWith(hWnd, 1000, PROGRESS_CLASSW)) return hWnd;
    return nullptr;
}
HWND VisibleDialog(DWORD pid) {
    HWND dialog = ProgressDialog(pid);
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}
// A visible message box: a #32770 with a 0xFFFF text and no control 1000, owned by `owner`
// (or, with owner null, without owner in process pid).
HWND MessageBoxOf(HWND owner, DWORD pid, const std::wstring* text = nullptr) {
    for (HWND hWnd : TopLevel(owner ? ProcessOf(owner) : pid)) {
        if (GetWindow(hWnd, GW_OWNER) == owner && IsWindowVisible(hWnd) && IsDialogWith(hWnd, 0xFFFF, nullptr) &&
            GetDlgItem(hWnd, 1000) == nullptr && (text == nullptr || TextOf(GetDlgItem(hWnd, 0xFFFF)) == *text))
            return hWnd;
    }
    return nullptr;
}
HWND BoxOfDialog(DWORD pid) {
    HWND dialog = ProgressDialog(pid);
    return dialog ? MessageBoxOf(dialog, 0) : nullptr;
}

// 32-bit pixels of a bitmap, top row first (the bitmap must not be selected into a DC).
std::vector<DWORD> Pixels(HBITMAP bitmap, int w, int h) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(static_cast<size_t>(w) * h);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, h, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// Which system icon the control shows: the candidate whose opaque pixels match the screen. A box
// that has just appeared may not be painted yet: repeated until one matches or 3 s have passed.
std::string IconOf(HWND control) {
    const struct { LPCWSTR id; const char* name; } icons[] = {
        {IDI_HAND, "hand"}, {IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "exclamation"}, {IDI_ASTERISK, "asterisk"}};
    const ULONGLONG deadline = GetTickCount64() + 3000;
    for (;;) {
        RedrawWindow(GetParent(control), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT r{};
        GetWindowRect(control, &r);
        const int w = r.right - r.left, h = r.bottom - r.top;
        HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        SelectObject(memory, old);
        const std::vector<DWORD> shown = Pixels(bitmap, w, h);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        for (const auto& icon : icons) {
            ICONINFO info{};
            BITMAP bm{};
            if (!GetIconInfo(LoadIconW(nullptr, icon.id), &info) || !GetObjectW(info.hbmColor, sizeof(bm), &bm)) continue;
            const std::vector<DWORD> colour = Pixels(info.hbmColor, bm.bmWidth, bm.bmHeight), mask = Pixels(info.hbmMask, bm.bmWidth, bm.bmHeight);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            bool alpha = false;
            for (DWORD p : colour) alpha = alpha || (p >> 24) != 0;
            long long total = 0, counted = 0;
            for (int y = 0; y < bm.bmHeight && y < h; ++y) {
                for (int x = 0; x < bm.bmWidth && x < w; ++x) {
                    const DWORD a = colour[y * bm.bmWidth + x], b = shown[y * w + x];
                    if (alpha ? (a >> 24) != 0xFF : (mask[y * bm.bmWidth + x] & 0xFFFFFF) != 0) continue;
                    for (int shift = 0; shift < 24; shift += 8) total += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
                    ++counted;
                }
            }
            if (counted > 0 && total / counted < 16) return icon.name;
        }
        if (GetTickCount64() >= deadline) return "unknown";
        Sleep(25);
    }
}

std::string DescribeBox(HWND box) {
    std::string buttons, icon = "none";
    for (HWND child : Children(box)) {
        if (!IsWindowVisible(child)) continue;
        if (_wcsicmp(ClassOf(child).c_str(), L"Button") == 0) {
            buttons += (buttons.empty() ? "" : ",") + J(GetDlgCtrlID(child) + 0LL);
        } else if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && SendMessageW(child, STM_GETICON, 0, 0)) {
            icon = IconOf(child);  // a box without icon may keep an empty icon control
        }
    }
    return "{\"hwnd\":" + J(box) + ",\"pid\":" + J(ProcessOf(box) + 0LL) + ",\"caption\":" + J(TextOf(box)) +
           ",\"text\":" + J(TextOf(GetDlgItem(box, 0xFFFF))) + ",\"icon\":\"" + icon + "\",\"buttons\":[" + buttons + "]}";
}

std::string DescribeDialog(HWND dialog) {
    RECT outer{}, client{}, work{};
    GetWindowRect(dialog, &outer);
    GetClientRect(dialog, &client);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    std::string controls;
    for (int id = 1000; id <= 1003; ++id) {
        HWND control = GetDlgItem(dialog, id);
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        controls += std::string(id > 1000 ? "," : "") + "\"" + J(id + 0LL) + "\":{\"text\":" + J(TextOf(control)) +
                    ",\"visible\":" + J(IsWindowVisible(control) != 0) + ",\"rect\":" + J(r) + "}";
    }
    HWND box = MessageBoxOf(dialog, 0);
    return "{\"hwnd\":" + J(dialog) + ",\"caption\":" + J(TextOf(dialog)) + ",\"visible\":" + J(IsWindowVisible(dialog) != 0) +
           ",\"rect\":" + J(outer) + ",\"client\":" + J(client) + ",\"work_area\":" + J(work) + ",\"controls\":{" + controls +
           "},\"progress\":" + J(SendDlgItemMessageW(dialog, 1000, PBM_GETPOS, 0, 0) + 0LL) +
           ",\"messagebox\":" + (box ? DescribeBox(box) : "null") + "}";
}

int Found(HWND hWnd, const std::string& json) { return hWnd ? Print(json, 0) : Print("{\"found\": false}", 1); }
int Post(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool posted = hWnd != nullptr && PostMessageW(hWnd, message, wParam, lParam);
    return Print("{\"posted\": " + J(posted) + "}", posted ? 0 : 1);
}
int Press(HWND hWnd, int button) {
    return Post(hWnd, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hWnd, button)));
}

int Start(const std::wstring& exe, const Args& a) {
    for (auto [it, end] = a.equal_range(L"--env"); it != end; ++it) {
        const size_t equals = it->second.find(L'=');
        SetEnvironmentVariableW(it->second.substr(0, equals).c_str(), it->second.substr(equals + 1).c_str());
    }
    std::wstring commandLine = L"\"" + exe + L"\"", cwd = Get(a, L"--cwd"), desktop = Get(a, L"--desktop");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktop.empty() ? nullptr : &desktop[0];
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.empty() ? nullptr : cwd.c_str(),
                        &startup, &process))
        return Print("{\"error\": \"CreateProcess\", \"code\": " + J(GetLastError() + 0LL) + "}", 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return Print("{\"pid\": " + J(process.dwProcessId + 0LL) + "}", 0);
}

int WaitExit(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return Print("{\"exited\": true, \"code\": null, \"windows_seen\": 0}", 0);
    std::vector<HWND> seen;  // watched while waiting, so that a window that flashes up is noticed
    const ULONGLONG deadline = GetTickCount64() + g_timeout;
    DWORD wait = WAIT_TIMEOUT;
    do {
        for (HWND hWnd : TopLevel(pid)) {
            bool known = false;
            for (HWND s : seen) known = known || s == hWnd;
            if (!known && IsWindowVisible(hWnd)) seen.push_back(hWnd);
        }
        wait = WaitForSingleObject(process, GetTickCount64() >= deadline ? 0 : 25);
    } while (wait == WAIT_TIMEOUT && GetTickCount64() < deadline);
    DWORD code = 0;
    const bool exited = wait == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return Print("{\"exited\": " + J(exited) + ", \"code\": " + (exited ? J(code + 0LL) : "null") +
                     ", \"windows_seen\": " + J(static_cast<long long>(seen.size())) + "}", exited ? 0 : 1);
}

// The folder of a process's program, without the trailing backslash.
std::wstring FolderOf(DWORD pid) {
    wchar_t path[4096] = {};
    DWORD length = 4096;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return L"";
    const bool ok = QueryFullProcessImageNameW(process, 0, path, &length);
    CloseHandle(process);
    const std::wstring full(path, ok ? length : 0);
    return full.substr(0, full.find_last_of(L'\\') == std::wstring::npos ? 0 : full.find_last_of(L'\\'));
}

// A visible checker window (its progress bar and Retry button), started from `folder` when given.
HWND Checker(std::wstring folder, bool finished) {
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    for (HWND hWnd : TopLevel(0)) {
        if (!IsWindowVisible(hWnd) || !IsDialogWith(hWnd, IDC_PROGRESS, PROGRESS_CLASSW) || !GetDlgItem(hWnd, IDC_RETRY)) continue;
        if (finished && SendDlgItemMessageW(hWnd, IDC_PROGRESS, PBM_GETPOS, 0, 0) < CHECK_COUNT) continue;
        if (folder.empty() || _wcsicmp(FolderOf(ProcessOf(hWnd)).c_str(), folder.c_str()) == 0) return hWnd;
    }
    return nullptr;
}

std::string DescribeChecker(HWND w) {
    std::string checks;
    for (int i = 0; i < CHECK_COUNT; ++i)
        checks += std::string(i ? "," : "") + "{\"status\":" + J(TextOf(GetDlgItem(w, IDC_STATUS_FIRST + i))) +
                  ",\"detail\":" + J(TextOf(GetDlgItem(w, IDC_DETAIL_FIRST + i))) + "}";
    RECT r{};
    GetWindowRect(w, &r);
    return "{\"found\":true,\"hwnd\":" + J(w) + ",\"pid\":" + J(ProcessOf(w) + 0LL) + ",\"caption\":" + J(TextOf(w)) +
           ",\"headline\":" + J(TextOf(GetDlgItem(w, IDC_HEADLINE))) + ",\"rect\":" + J(r) + ",\"checks\":[" + checks + "]}";
}

std::string Narrow(const wchar_t* text) {  // the ANSI form the 8-bit library entries expect
    char buffer[4096] = {};
    WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

template <typename T>
T Entry(HMODULE library, const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// What an FTP progress callback saw.
struct Progress {
    int session = 0, stopAt = -1, calls = 0, last = -1, reenterResult = -99, reenterError = -1;
    bool reenter = false, backwards = false, outOfRange = false, otherThread = false;
    DWORD thread = GetCurrentThreadId();
    std::string values;
    HMODULE library = nullptr;
};

int CALLBACK FtpProgress(int perMille, void* context) {
    Progress& p = *static_cast<Progress*>(context);
    p.backwards = p.backwards || perMille < p.last;
    p.outOfRange = p.outOfRange || perMille < 0 || perMille > 1000;
    p.otherThread = p.otherThread || GetCurrentThreadId() != p.thread;
    p.last = perMille;
    if (++p.calls <= 2000) p.values += (p.values.empty() ? "" : ",") + J(perMille + 0LL);
    if (p.reenter && p.reenterResult == -99) {
        long long size = 0;
        p.reenterResult = Entry<decltype(&QFTPGFS)>(p.library, "QFTPGFS")(p.session, "/x", &size);
        p.reenterError = Entry<decltype(&QFTPFGLE)>(p.library, "QFTPFGLE")(p.session, nullptr, 0);
    }
    return p.stopAt >= 0 && perMille >= p.stopAt ? 0 : 1;
}

int Ftp(int argc, wchar_t** argv) {
    FILE* report = _wfopen(argv[2], L"wb");
    HMODULE lib = LoadLibraryW(argv[3]);
    if (report == nullptr || lib == nullptr) return Print("{\"error\": \"load\"}", 1);
#define E(name) Entry<decltype(&name)>(lib, #name)
    int session = E(QFTPIFO)(), freed = 0;
    for (int i = 4; i < argc; ++i) {
        std::vector<std::string> a;
        const std::string text = Narrow(argv[i]);
        for (size_t start = 0, bar = 0; bar != std::string::npos; start = bar + 1)
            a.push_back(text.substr(start, (bar = text.find('|', start)) == std::string::npos ? bar : bar - start));
        a.resize(12);
        auto n = [&](int k, int fallback) { return a[k].empty() ? fallback : std::atoi(a[k].c_str()); };
        const char* s[12];
        for (int k = 0; k < 12; ++k) s[k] = a[k].c_str();
        const std::string& op = a[0];
        int result = 0;
        bool failed = false;
        std::string extra;
        long long size = -1;
        char buffer[8192] = "unchanged";
        Progress p;
        p.session = session, p.library = lib, p.stopAt = n(4, -1), p.reenter = n(5, 0) != 0;
        if (op == "logon") result = E(QFTPFLON)(session, s[1], n(2, 21), s[3], s[4], s[5], s[6], s[7], s[8], n(9, n(2, 21)), n(10, 0));
        else if (op == "size") result = E(QFTPGFS)(session, s[1], &size), extra = ",\"size\":" + J(size);
        else if (op == "get" || op == "put")
            result = (op == "get" ? E(QFTPFGFWCB) : E(QFTPFPFWCB))(session, s[1], s[2], n(3, 1), FtpProgress, &p),
            extra = ",\"calls\":" + J(p.calls + 0LL) + ",\"lastPerMille\":" + J(p.last + 0LL) + ",\"backwards\":" + J(p.backwards) +
                    ",\"outOfRange\":" + J(p.outOfRange) + ",\"otherThread\":" + J(p.otherThread) + ",\"reenterResult\":" +
                    J(p.reenterResult + 0LL) + ",\"reenterError\":" + J(p.reenterError + 0LL) + ",\"values\":[" + p.values + "]";
        else if (op == "exists") result = E(QFTPFE)(session, s[1]), failed = result == -1;
        else if (op == "info")
            result = E(QFTPGFI)(session, s[1], &size, buffer, n(2, 64)), extra = ",\"size\":" + J(size) + ",\"modified\":" + J(buffer);
        else if (op == "cwd") result = E(QFTPCF)(session, s[1]);
        else if (op == "rename") result = E(QFTPRF)(session, s[1], s[2]);
        else if (op == "delete") result = E(QFTPDF)(session, s[1]);
        else if (op == "find") result = E(QFTPFFF)(session, s[1], buffer, n(2, 8192)), extra = ",\"name\":" + J(buffer);
        else if (op == "lasterror") result = E(QFTPFGLE)(session, buffer, n(1, 8192)), extra = ",\"text\":" + J(buffer);
        else if (op == "clearerror") result = E(QFTPFCLE)(session);
        else if (op == "free") result = E(QFTPUFO)(freed = session);
        else if (op == "reopen") result = (session = E(QFTPIFO)()) != 0 && session != freed;
        else if (op == "stale")  // every entry refuses a freed handle
            result = E(QFTPGFS)(freed, "/x", &size) == 0 && E(QFTPFE)(freed, "/x") == -1 &&
                     E(QFTPFGLE)(freed, nullptr, 0) == QXFTP_E_INVALID_HANDLE && E(QFTPUFO)(freed) == 0;
        if (op != "exists" && op != "lasterror" && op != "stale" && op != "reopen") failed = result != 1;
        if (failed) {
            char error[QXFTP_ERROR_TEXT_CAPACITY] = "";
            const int code = E(QFTPFGLE)(session, error, sizeof(error));  // before the text is read
            extra += ",\"error\":" + J(code + 0LL) + ",\"errorText\":" + J(error);
        }
        std::fprintf(report, "{\"op\":\"%s\",\"result\":%d%s}\n", op.c_str(), result, extra.c_str());
        std::fflush(report);
    }
    std::fclose(report);
    return 0;
#undef E
}

struct HttpLog {
    std::wstring path;
    long stopAfter = 0, calls = 0;
};
void Append(const std::wstring& path, const std::string& line) {  // closed after each line: a test watches it
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}
int CALLBACK HttpProgress(int perMille, void* context) {
    auto* log = static_cast<HttpLog*>(context);
    Append(log->path, "cb " + J(perMille + 0LL) + "\n");
    return log->stopAfter != 0 && ++log->calls >= log->stopAfter ? 0 : 1;
}

int Http(int argc, wchar_t** argv) {
    HttpLog log{argv[6], argc > 7 ? std::wcstol(argv[7], nullptr, 10) : 0, 0};
    typedef int(WINAPI * Call)(const wchar_t*, const wchar_t*, QXPROGRESSCALLBACK, void*, int);
    HMODULE lib = LoadLibraryW(argv[2]);
    Call call = lib ? Entry<Call>(lib, "QXGFWCB") : nullptr;
    const int result = call ? call(argv[3], argv[4], HttpProgress, &log, std::wcstol(argv[5], nullptr, 10)) : -1;
    Append(log.path, "result " + J(result + 0LL) + "\n");
    return result == 1 ? 0 : 1;
}

int Trust(const std::wstring& action, const wchar_t* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string pem(65536, '\0');
    DWORD read = 0, size = 0;
    ReadFile(file, &pem[0], static_cast<DWORD>(pem.size()), &read, nullptr);
    CloseHandle(file);
    std::vector<BYTE> der(read);
    if (!CryptStringToBinaryA(pem.c_str(), read, CRYPT_STRING_BASE64HEADER, der.data(), &(size = read), nullptr, nullptr))
        return Print("{\"done\": false}", 1);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
    bool ok = store != nullptr;
    if (ok && action == L"add") {
        ok = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), size, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    } else if (ok) {
        BYTE thumbprint[20];
        CRYPT_HASH_BLOB hash = {sizeof(thumbprint), thumbprint};
        ok = CryptHashCertificate(0, CALG_SHA1, 0, der.data(), size, thumbprint, &hash.cbData);
        while (PCCERT_CONTEXT found = ok ? CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &hash, nullptr) : nullptr)
            ok = CertDeleteCertificateFromStore(found);  // frees the context
        // The process caches the system store: commit, or the deletion never reaches the registry.
        ok = ok && CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr);
    }
    if (store) CertCloseStore(store, 0);
    return Print("{\"done\": " + J(ok) + "}", ok ? 0 : 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const std::wstring command = argv[1];
    if (command == L"ftp") return argc >= 4 ? Ftp(argc, argv) : Usage();
    if (command == L"http") return argc >= 7 ? Http(argc, argv) : Usage();
    if (command == L"trust") return argc == 4 ? Trust(argv[2], argv[3]) : Usage();
    Args a;
    std::wstring positional;
    for (int i = 2; i < argc; ++i) {
        if (wcsncmp(argv[i], L"--", 2) != 0) positional = argv[i];
        else if (i + 1 < argc && wcsncmp(argv[i + 1], L"--", 2) != 0) a.emplace(argv[i], argv[i + 1]), ++i;
        else a.emplace(argv[i], L"");
    }
    if (a.count(L"--timeout")) g_timeout = static_cast<DWORD>(Num(a, L"--timeout"));
    if (a.count(L"--desktop")) {  // the driver's thread moves to the test desktop to see its windows
        HDESK desktop = OpenDesktopW(Get(a, L"--desktop").c_str(), 0, FALSE, GENERIC_ALL);
        if (!desktop) desktop = CreateDesktopW(Get(a, L"--desktop").c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        if (!desktop || !SetThreadDesktop(desktop)) return Print("{\"error\": \"desktop\"}", 1);
    }
    const DWORD pid = static_cast<DWORD>(Num(a, L"--pid"));
    const int button = static_cast<int>(Num(a, L"--button"));
    HWND hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Num(a, L"--hwnd")));
    if (command == L"start") return Start(positional, a);
    if (command == L"dialog") { HWND d = PollFor([&] { return VisibleDialog(pid); }); return Found(d, d ? DescribeDialog(d) : ""); }
    if (command == L"messagebox" && a.count(L"--gone")) {
        const bool gone = PollFor([&] { return BoxOfDialog(pid) ? nullptr : GetDesktopWindow(); }) != nullptr;
        return Print("{\"gone\": " + J(gone) + "}", gone ? 0 : 1);
    }
    if (command == L"messagebox") { HWND b = PollFor([&] { return BoxOfDialog(pid); }); return Found(b, b ? DescribeBox(b) : ""); }
    if (command == L"ownerless-box") {
        const std::wstring text = Get(a, L"--text");
        HWND b = PollFor([&] { return MessageBoxOf(nullptr, pid, &text); });
        return Found(b, b ? DescribeBox(b) : "");
    }
    if (command == L"close") return Post(PollFor([&] { return VisibleDialog(pid); }), WM_CLOSE, 0, 0);
    if (command == L"key") {
        const WPARAM vk = Get(a, L"--key") == L"esc" ? VK_ESCAPE : VK_RETURN;
        HWND d = PollFor([&] { return VisibleDialog(pid); });
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC)) << 16;
        if (d) PostMessageW(d, WM_KEYDOWN, vk, scan | 1);
        return Post(d, WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
    }
    if (command == L"answer") return Press(PollFor([&] { return BoxOfDialog(pid); }), button);
    if (command == L"answer-box" || command == L"press") return Press(IsWindow(hwnd) ? hwnd : nullptr, button);
    if (command == L"wait-exit") return WaitExit(pid);
    if (command == L"kill") {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
        const bool killed = process && TerminateProcess(process, 1) && WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
        if (process) CloseHandle(process);
        return Print("{\"killed\": " + J(killed) + "}", 0);
    }
    if (command == L"windows") {
        std::string list;
        for (HWND w : TopLevel(pid))
            list += (list.empty() ? "" : ",") + std::string("{\"class\":") + J(ClassOf(w)) + ",\"caption\":" + J(TextOf(w)) +
                    ",\"visible\":" + J(IsWindowVisible(w) != 0) + "}";
        return Print("{\"windows\": [" + list + "]}", 0);
    }
    if (command == L"checker" && a.count(L"--gone")) {
        const bool gone = PollFor([&] { return Checker(Get(a, L"--folder"), false) ? nullptr : GetDesktopWindow(); }) != nullptr;
        return Print("{\"gone\": " + J(gone) + "}", gone ? 0 : 1);
    }
    if (command == L"checker") {
        HWND w = PollFor([&] { return Checker(Get(a, L"--folder"), a.count(L"--finished") != 0); });
        return Found(w, w ? DescribeChecker(w) : "");
    }
    return Usage();
}
