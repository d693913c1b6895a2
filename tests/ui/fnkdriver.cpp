// fnkdriver: the one Win32 test tool of the end-to-end suites, run under Wine. Each call prints
// one JSON object on stdout and exits 0 (done / found), 1 (not found before the deadline) or 2 (usage).
// Options: --desktop NAME, --timeout MS, --pid N, --hwnd H, --button ID, --key esc|enter, --text T, --folder DIR.
//   Finders, each waiting until its window is there (with --gone: until it is not):
//     dialog --pid N   box --pid N (owned by the dialog)   box --text T [--pid N] (ownerless)
//     checker --folder DIR [--finished]
//   start EXE [--cwd DIR] [--env N=V]...   close|key --pid N   press (--hwnd H | --pid N: its box) --button ID
//   wait-exit --pid N [--kill]              trust CERT.der (the test CA into the machine ROOT store)
//   hold --file PATH --ms N                 keeps PATH open as a virus scanner would (see Hold)
//   lib REPORT DLL "op|arg|..."...          QXFtp.dll / QXHttp.dll loaded by path the way the installer
//                                           loads them; a JSON line per callback (live) and per operation
// Waits poll with a deadline; nothing sleeps a fixed time to let something happen.
#include <windows.h>
#include <commctrl.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "Handles.h"
#include "QXFtp.h"
#include "app/resource.h"
#include "checks/CheckFinding.h"

namespace {

std::multimap<std::wstring, std::wstring> g_args;
DWORD g_timeout = 10000;

std::wstring Arg(const wchar_t* name) { auto it = g_args.find(name); return it == g_args.end() ? L"" : it->second; }
unsigned long long Num(const wchar_t* name) { return std::wcstoull(Arg(name).c_str(), nullptr, 0); }

std::string J(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        char escaped[8];
        std::snprintf(escaped, sizeof(escaped), "\\u%04x", static_cast<unsigned>(c) & 0xFFFFu);
        out += (c >= 0x20 && c < 0x7F && c != L'"' && c != L'\\') ? std::string(1, static_cast<char>(c)) : escaped;
    }
    return out + "\"";
}
std::string J(const char* text) { return J(std::wstring(text, text + std::strlen(text))); }  // 8-bit library text
std::string J(long long value) { return std::to_string(value); }
std::string J(HWND hWnd) { return J(static_cast<long long>(reinterpret_cast<UINT_PTR>(hWnd))); }
std::string J(const RECT& r) { return "[" + J(r.left + 0LL) + "," + J(r.top + 0LL) + "," + J(r.right + 0LL) + "," + J(r.bottom + 0LL) + "]"; }
const char* J(bool value) { return value ? "true" : "false"; }

int Print(const std::string& json, int code) { return std::printf("%s\n", json.c_str()), std::fflush(stdout), code; }

template <typename Probe>
HWND PollFor(Probe probe) {
    for (const ULONGLONG deadline = GetTickCount64() + g_timeout;; Sleep(25)) {
        HWND found = probe();
        if (found != nullptr || GetTickCount64() >= deadline) return found;
    }
}

std::wstring ClassOf(HWND hWnd) { wchar_t name[256] = {}; return std::wstring(name, GetClassNameW(hWnd, name, 256)); }
std::wstring TextOf(HWND hWnd) {
    wchar_t text[4096] = {};
    SendMessageTimeoutW(hWnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}
DWORD ProcessOf(HWND hWnd) { DWORD pid = 0; return GetWindowThreadProcessId(hWnd, &pid), pid; }

using Collect = std::pair<DWORD, std::vector<HWND>>;
BOOL CALLBACK AddWindow(HWND hWnd, LPARAM lParam) {
    auto* c = reinterpret_cast<Collect*>(lParam);
    if (c->first == 0 || ProcessOf(hWnd) == c->first) c->second.push_back(hWnd);
    return TRUE;
}
// Top-level windows of pid (0: of all processes), or the children of parent.
std::vector<HWND> Windows(DWORD pid, HWND parent = nullptr) {
    Collect c{pid, {}};
    parent ? EnumChildWindows(parent, AddWindow, reinterpret_cast<LPARAM>(&c)) : EnumWindows(AddWindow, reinterpret_cast<LPARAM>(&c));
    return c.second;
}

bool IsDialogWith(HWND hWnd, int id, const wchar_t* cls) {
    HWND control = GetDlgItem(hWnd, id);
    return IsWindowVisible(hWnd) && ClassOf(hWnd) == L"#32770" && control != nullptr && (cls == nullptr || ClassOf(control) == cls);
}
HWND Dialog() {
    for (HWND hWnd : Windows(static_cast<DWORD>(Num(L"--pid"))))
        if (IsDialogWith(hWnd, 1000, PROGRESS_CLASSW)) return hWnd;
    return nullptr;
}
// A message box: owned (by the dialog) when no --text is given, else ownerless with that text.
HWND Box() {
    const std::wstring text = Arg(L"--text");
    for (HWND hWnd : Windows(static_cast<DWORD>(Num(L"--pid"))))
        if (IsDialogWith(hWnd, 0xFFFF, nullptr) && !GetDlgItem(hWnd, 1000) && (GetWindow(hWnd, GW_OWNER) == nullptr) == !text.empty() &&
            (text.empty() || TextOf(GetDlgItem(hWnd, 0xFFFF)) == text))
            return hWnd;
    return nullptr;
}
// A checker window started from --folder.
HWND Checker() {
    std::wstring folder = Arg(L"--folder");
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    for (HWND hWnd : Windows(0)) {
        if (!IsDialogWith(hWnd, IDC_PROGRESS, PROGRESS_CLASSW) || !GetDlgItem(hWnd, IDC_RETRY)) continue;
        if (g_args.count(L"--finished") && SendDlgItemMessageW(hWnd, IDC_PROGRESS, PBM_GETPOS, 0, 0) < CHECK_COUNT) continue;
        wchar_t path[4096] = {};
        DWORD length = 4096;
        const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ProcessOf(hWnd)));
        const bool named = process && QueryFullProcessImageNameW(process.Get(), 0, path, &length);
        if (named && length > folder.size() && path[folder.size()] == L'\\' && _wcsnicmp(path, folder.c_str(), folder.size()) == 0 &&
            !std::wcschr(path + folder.size() + 1, L'\\'))
            return hWnd;
    }
    return nullptr;
}

// Which system icon the control shows: the one that, drawn over the control's own pixels, changes
// them least. Repeated for up to 3 s: a box that has just appeared may not be painted yet.
std::string IconOf(HWND control) {
    const struct { LPCWSTR id; const char* name; } icons[] = {
        {IDI_HAND, "hand"}, {IDI_QUESTION, "question"}, {IDI_EXCLAMATION, "exclamation"}, {IDI_ASTERISK, "asterisk"}};
    RECT r{};
    GetWindowRect(control, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, CreateCompatibleBitmap(screen, w, h));
    const char* found = nullptr;
    for (const ULONGLONG deadline = GetTickCount64() + 3000; !found && GetTickCount64() < deadline; Sleep(25)) {
        RedrawWindow(GetParent(control), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        GetWindowRect(control, &r);  // the box may still move
        for (const auto& icon : icons) {
            BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
            std::vector<COLORREF> shown;
            for (int i = 0; i < w * h; ++i) shown.push_back(GetPixel(memory, i % w, i / w));
            DrawIconEx(memory, 0, 0, LoadIconW(nullptr, icon.id), w, h, 0, nullptr, DI_NORMAL);
            long long change = 0;
            for (int i = 0; i < w * h; ++i)
                for (int shift = 0; shift < 24; shift += 8)
                    change += std::abs(int((shown[i] >> shift) & 0xFF) - int((GetPixel(memory, i % w, i / w) >> shift) & 0xFF));
            if (w * h > 0 && change / (w * h) < 12) found = icon.name;
        }
    }
    DeleteObject(SelectObject(memory, old));
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return found ? found : "unknown";
}

std::string DescribeBox(HWND box) {
    std::string buttons, icon = "none";
    for (HWND child : Windows(0, box)) {
        if (!IsWindowVisible(child)) continue;
        if (_wcsicmp(ClassOf(child).c_str(), L"Button") == 0)
            buttons += (buttons.empty() ? "" : ",") + J(GetDlgCtrlID(child) + 0LL);
        else if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && SendMessageW(child, STM_GETICON, 0, 0))
            icon = IconOf(child);  // a box without icon may keep an empty icon control
    }
    return "{\"hwnd\":" + J(box) + ",\"caption\":" + J(TextOf(box)) + ",\"text\":" + J(TextOf(GetDlgItem(box, 0xFFFF))) +
           ",\"icon\":\"" + icon + "\",\"buttons\":[" + buttons + "]}";
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
    return "{\"hwnd\":" + J(dialog) + ",\"caption\":" + J(TextOf(dialog)) + ",\"rect\":" + J(outer) + ",\"client\":" + J(client) +
           ",\"work_area\":" + J(work) + ",\"controls\":{" + controls + "},\"progress\":" +
           J(SendDlgItemMessageW(dialog, 1000, PBM_GETPOS, 0, 0) + 0LL) + "}";
}

std::string DescribeChecker(HWND w) {
    std::string checks;
    for (int i = 0; i < CHECK_COUNT; ++i)
        checks += std::string(i ? "," : "") + "{\"status\":" + J(TextOf(GetDlgItem(w, IDC_STATUS_FIRST + i))) +
                  ",\"detail\":" + J(TextOf(GetDlgItem(w, IDC_DETAIL_FIRST + i))) + "}";
    RECT r{};
    GetWindowRect(w, &r);
    return "{\"hwnd\":" + J(w) + ",\"caption\":" + J(TextOf(w)) + ",\"headline\":" + J(TextOf(GetDlgItem(w, IDC_HEADLINE))) +
           ",\"rect\":" + J(r) + ",\"checks\":[" + checks + "]}";
}

int Find(HWND (*find)(), std::string (*describe)(HWND)) {
    const bool gone = g_args.count(L"--gone") != 0;
    HWND hWnd = PollFor([&] { HWND found = find(); return gone ? (found ? nullptr : GetDesktopWindow()) : found; });
    if (gone) return Print(std::string("{\"gone\": ") + J(hWnd != nullptr) + "}", hWnd ? 0 : 1);
    return hWnd ? Print(describe(hWnd), 0) : Print("{\"found\": false}", 1);
}

int Post(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool posted = hWnd != nullptr && PostMessageW(hWnd, message, wParam, lParam);
    return Print(std::string("{\"posted\": ") + J(posted) + "}", posted ? 0 : 1);
}

int Start(const std::wstring& exe) {
    for (auto [it, end] = g_args.equal_range(L"--env"); it != end; ++it) {
        const size_t equals = it->second.find(L'=');
        SetEnvironmentVariableW(it->second.substr(0, equals).c_str(), it->second.substr(equals + 1).c_str());
    }
    std::wstring commandLine = L"\"" + exe + L"\"", cwd = Arg(L"--cwd"), desktop = Arg(L"--desktop");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktop.empty() ? nullptr : &desktop[0];
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, cwd.empty() ? nullptr : cwd.c_str(),
                        &startup, &process))
        return Print("{\"error\": \"CreateProcess\", \"code\": " + J(GetLastError() + 0LL) + "}", 1);
    CloseHandle(process.hThread), CloseHandle(process.hProcess);
    return Print("{\"pid\": " + J(process.dwProcessId + 0LL) + "}", 0);
}

// Waits for the end of --pid, counting the visible windows it showed meanwhile; with --kill it
// ends the process at the deadline.
int WaitExit() {
    const DWORD pid = static_cast<DWORD>(Num(L"--pid"));
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    if (process == nullptr) return Print("{\"exited\": true, \"code\": null, \"windows_seen\": 0}", 0);
    std::set<HWND> seen;
    const ULONGLONG deadline = GetTickCount64() + g_timeout;
    DWORD wait = WAIT_TIMEOUT, code = 0;
    do {
        for (HWND hWnd : Windows(pid))
            if (IsWindowVisible(hWnd)) seen.insert(hWnd);
        wait = WaitForSingleObject(process, GetTickCount64() >= deadline ? 0 : 25);
    } while (wait == WAIT_TIMEOUT && GetTickCount64() < deadline);
    const bool exited = wait == WAIT_OBJECT_0 && GetExitCodeProcess(process, &code);
    if (!exited && g_args.count(L"--kill") && TerminateProcess(process, 1)) WaitForSingleObject(process, 10000);
    CloseHandle(process);
    return Print(std::string("{\"exited\": ") + J(exited) + ", \"code\": " + (exited ? J(code + 0LL) : "null") +
                     ", \"windows_seen\": " + J(static_cast<long long>(seen.size())) + "}", exited ? 0 : 1);
}

// Adds the DER certificate at path to the machine's ROOT store (the tests remove it with reg).
int Trust(const wchar_t* path) {
    std::string der(65536, '\0');
    DWORD read = 0;
    ReadFile(UniqueHandle(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)).Get(), &der[0],
             static_cast<DWORD>(der.size()), &read, nullptr);
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
    const bool ok = store && CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                                              read, CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (store) CertCloseStore(store, 0);
    return Print(std::string("{\"done\": ") + J(ok) + "}", ok ? 0 : 1);
}

// Opens --file once it exists, for reading and without FILE_SHARE_DELETE, so that it can be
// neither moved nor deleted; says {"holding": true}, keeps it open --ms, then reports its size.
int Hold() {
    const std::wstring path = Arg(L"--file");
    UniqueHandle file;
    for (const ULONGLONG deadline = GetTickCount64() + g_timeout; !file && GetTickCount64() < deadline; Sleep(10))
        file = UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Print("{\"holding\": false}", 1);
    Print("{\"holding\": true}", 0);
    Sleep(static_cast<DWORD>(Num(L"--ms")));  // the hold itself
    LARGE_INTEGER size{};
    return Print("{\"released\": true, \"size\": " + J(GetFileSizeEx(file.Get(), &size) ? size.QuadPart : -1LL) + "}", 0);
}

template <typename T>
T Entry(HMODULE library, const char* name) { return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(library, name))); }
#define E(name) Entry<decltype(&name)>(p.library, #name)

// One library call's callbacks: each is reported at once (a test may watch them); the answer is
// "stop" from perMille stopAt on; with reenter, the first callback calls back into the library.
struct Progress {
    FILE* report;
    HMODULE library;
    int session, stopAt;
    bool reenter, otherThread = false;
    int reenterResult = -99, reenterError = -1;
    DWORD thread = GetCurrentThreadId();
};

int CALLBACK OnProgress(int perMille, void* context) {
    Progress& p = *static_cast<Progress*>(context);
    std::fprintf(p.report, "{\"cb\":%d}\n", perMille);
    std::fflush(p.report);
    p.otherThread = p.otherThread || GetCurrentThreadId() != p.thread;
    if (p.reenter && p.reenterResult == -99) {
        long long size = 0;
        p.reenterResult = E(QFTPGFS)(p.session, "/x", &size);
        p.reenterError = E(QFTPFGLE)(p.session, nullptr, 0);
    }
    return p.stopAt >= 0 && perMille >= p.stopAt ? 0 : 1;
}

// Operations: logon|host|port|user|password|proxyHost|proxyUser|proxyPassword|account|proxyPort|flags,
// size|path, get|remote|local|mode|stopAt|reenter, put|local|remote|mode, exists|path, info|path|capacity,
// cwd|path, rename|from|to, delete|path, find|pattern|capacity, lasterror|capacity, clearerror, free,
// reopen (a new handle, not the freed one), stale (every entry refuses the freed handle),
// http|url|target|maxRedirects|stopAt (QXHttp.dll's QXGFWCB).
int Library(int argc, wchar_t** argv) {
    Progress p{_wfopen(argv[2], L"wb"), LoadLibraryW(argv[3]), 0, -1, false};
    if (p.report == nullptr || p.library == nullptr) return Print("{\"error\": \"load\"}", 1);
    const bool ftp = GetProcAddress(p.library, "QFTPIFO") != nullptr;
    int session = ftp ? E(QFTPIFO)() : 0, freed = 0;
    for (int i = 4; i < argc; ++i) {
        std::vector<std::wstring> w(1);
        for (const wchar_t* c = argv[i]; *c; ++c) if (*c == L'|') w.emplace_back(); else w.back() += *c;
        w.resize(12);
        std::vector<std::string> a;  // the ANSI forms the 8-bit library entries expect
        for (const auto& part : w) {
            char ansi[4096] = {};
            a.push_back((WideCharToMultiByte(CP_ACP, 0, part.c_str(), -1, ansi, sizeof(ansi), nullptr, nullptr), ansi));
        }
        auto n = [&](int k, int fallback) { return a[k].empty() ? fallback : std::atoi(a[k].c_str()); };
        auto s = [&](int k) { return a[k].c_str(); };
        const std::string& op = a[0];
        p = Progress{p.report, p.library, session, -1, false};
        int result = 0;
        long long size = -1;
        char buffer[8192] = "unchanged";
        std::string extra;
        if (op == "logon") result = E(QFTPFLON)(session, s(1), n(2, 21), s(3), s(4), s(5), s(6), s(7), s(8), n(9, n(2, 21)), n(10, 0));
        else if (op == "size") result = E(QFTPGFS)(session, s(1), &size), extra = ",\"size\":" + J(size);
        else if (op == "get" || op == "put") {
            p.stopAt = n(4, -1), p.reenter = n(5, 0) != 0;
            result = (op == "get" ? E(QFTPFGFWCB) : E(QFTPFPFWCB))(session, s(1), s(2), n(3, 1), OnProgress, &p);
            extra = std::string(",\"otherThread\":") + J(p.otherThread) + ",\"reenterResult\":" + J(p.reenterResult + 0LL) +
                    ",\"reenterError\":" + J(p.reenterError + 0LL);
        } else if (op == "http") {
            p.stopAt = n(4, -1);
            typedef int(WINAPI * Get)(const wchar_t*, const wchar_t*, QXPROGRESSCALLBACK, void*, int);
            result = Entry<Get>(p.library, "QXGFWCB")(w[1].c_str(), w[2].c_str(), OnProgress, &p, n(3, 10));
        } else if (op == "exists") result = E(QFTPFE)(session, s(1));
        else if (op == "info")
            result = E(QFTPGFI)(session, s(1), &size, buffer, n(2, 64)), extra = ",\"size\":" + J(size) + ",\"modified\":" + J(buffer);
        else if (op == "cwd") result = E(QFTPCF)(session, s(1));
        else if (op == "rename") result = E(QFTPRF)(session, s(1), s(2));
        else if (op == "delete") result = E(QFTPDF)(session, s(1));
        else if (op == "find") result = E(QFTPFFF)(session, s(1), buffer, n(2, 8192)), extra = ",\"name\":" + J(buffer);
        else if (op == "lasterror") result = E(QFTPFGLE)(session, buffer, n(1, 8192)), extra = ",\"text\":" + J(buffer);
        else if (op == "clearerror") result = E(QFTPFCLE)(session);
        else if (op == "free") result = E(QFTPUFO)(freed = session);
        else if (op == "reopen") result = (session = E(QFTPIFO)()) != 0 && session != freed;
        else if (op == "stale")
            result = E(QFTPGFS)(freed, "/x", &size) == 0 && E(QFTPFE)(freed, "/x") == -1 &&
                     E(QFTPFGLE)(freed, nullptr, 0) == QXFTP_E_INVALID_HANDLE && E(QFTPUFO)(freed) == 0;
        const bool reported = op == "exists" ? result == -1 : op != "lasterror" && op != "stale" && op != "reopen" && result != 1;
        if (ftp && reported) {
            char error[QXFTP_ERROR_TEXT_CAPACITY] = "";
            const int code = E(QFTPFGLE)(session, error, sizeof(error));  // before the text is read
            extra += ",\"error\":" + J(code + 0LL) + ",\"errorText\":" + J(error);
        }
        std::fprintf(p.report, "{\"op\":\"%s\",\"result\":%d%s}\n", op.c_str(), result, extra.c_str());
        std::fflush(p.report);
    }
    std::fclose(p.report);
    return 0;
}
#undef E

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc >= 2 ? argv[1] : L"";
    if (command == L"lib" && argc >= 4) return Library(argc, argv);
    if (command == L"trust" && argc == 3) return Trust(argv[2]);
    std::wstring positional;
    for (int i = 2; i < argc; ++i) {
        if (wcsncmp(argv[i], L"--", 2) != 0) positional = argv[i];
        else if (i + 1 < argc && wcsncmp(argv[i + 1], L"--", 2) != 0) g_args.emplace(argv[i], argv[i + 1]), ++i;
        else g_args.emplace(argv[i], L"");
    }
    if (g_args.count(L"--timeout")) g_timeout = static_cast<DWORD>(Num(L"--timeout"));
    if (g_args.count(L"--desktop")) {  // the driver's thread moves to the test desktop to see its windows
        HDESK desktop = OpenDesktopW(Arg(L"--desktop").c_str(), 0, FALSE, GENERIC_ALL);
        if (!desktop) desktop = CreateDesktopW(Arg(L"--desktop").c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        if (!desktop || !SetThreadDesktop(desktop)) return Print("{\"error\": \"desktop\"}", 1);
    }
    if (command == L"start") return Start(positional);
    if (command == L"dialog") return Find(Dialog, DescribeDialog);
    if (command == L"box") return Find(Box, DescribeBox);
    if (command == L"checker") return Find(Checker, DescribeChecker);
    if (command == L"wait-exit") return WaitExit();
    if (command == L"hold") return Hold();
    if (command == L"close") return Post(PollFor(Dialog), WM_CLOSE, 0, 0);
    if (command == L"key") {
        const WPARAM vk = Arg(L"--key") == L"esc" ? VK_ESCAPE : VK_RETURN;
        const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC)) << 16;
        HWND dialog = PollFor(Dialog);
        if (dialog) PostMessageW(dialog, WM_KEYDOWN, vk, scan | 1);
        return Post(dialog, WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
    }
    if (command == L"press") {  // WM_COMMAND: more reliable than BM_CLICK under Wine
        HWND target = g_args.count(L"--hwnd") ? reinterpret_cast<HWND>(static_cast<UINT_PTR>(Num(L"--hwnd"))) : PollFor(Box);
        const int button = static_cast<int>(Num(L"--button"));
        return Post(IsWindow(target) ? target : nullptr, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(target, button)));
    }
    return Print("{\"error\": \"usage\"}", 2);
}
