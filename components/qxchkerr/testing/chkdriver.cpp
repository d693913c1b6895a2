// chkdriver: a console program that the end-to-end tests run under Wine to find QXChkErr.exe's
// window (whichever process started it), read it, and press its buttons. Each call prints one
// JSON object and exits with 0 (done / found), 1 (not found before the deadline) or 2 (usage).
//
//   find [--finished] [--timeout MS]   -> the checker window: pid, hwnd, caption, headline,
//                                         finished (checks done), retry (enabled),
//                                         checks [{status, title, detail}]
//   retry --hwnd H                      -> presses Retry
//   close --hwnd H                      -> presses Close
//   gone [--timeout MS]                 -> waits until no checker window is left
//
// find and gone look only at checkers of process --pid N, or of programs started from folder
// --folder DIR (the install folder of a test), when given.
//
// Every command takes --desktop NAME, as the UI driver does, to look at that desktop.
// Waits poll with a deadline; nothing sleeps a fixed time to let something happen.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "Json.h"
#include "WindowProbe.h"
#include "app/resource.h"
#include "checks/CheckFinding.h"

namespace {

const DWORD DEFAULT_TIMEOUT_MS = 10000;
const DWORD POLL_INTERVAL_MS = 25;

int Print(const std::string& json, int code) {
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return code;
}

int Usage() { return Print("{\"error\": \"usage\"}", 2); }

// The option's value after `name`, or `fallback`.
const wchar_t* Option(int argc, wchar_t** argv, const wchar_t* name, const wchar_t* fallback) {
    for (int i = 2; i + 1 < argc; ++i)
        if (wcscmp(argv[i], name) == 0) return argv[i + 1];
    return fallback;
}

bool HasFlag(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 2; i < argc; ++i)
        if (wcscmp(argv[i], name) == 0) return true;
    return false;
}

unsigned long long Number(int argc, wchar_t** argv, const wchar_t* name, unsigned long long fallback) {
    const wchar_t* text = Option(argc, argv, name, nullptr);
    return text == nullptr ? fallback : std::wcstoull(text, nullptr, 0);
}

int FinishedChecks(HWND window) {
    return static_cast<int>(SendDlgItemMessageW(window, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

// The folder of a process's program, without the trailing "\"; empty when it cannot be read.
std::wstring ProgramFolderOf(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return std::wstring();
    wchar_t path[4096] = {};
    DWORD length = 4096;
    const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &length);
    CloseHandle(process);
    if (!ok) return std::wstring();
    std::wstring folder(path, length);
    const size_t slash = folder.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash);
}

struct Filter {
    DWORD pid = 0;
    std::wstring folder;  // empty: any
    bool finished = false;
};

// A visible checker window: a dialog with the checker's progress bar and Retry button.
HWND FindChecker(const Filter& filter) {
    for (HWND hWnd : TopLevelWindowsOf(filter.pid)) {
        if (!IsWindowVisible(hWnd) || ClassNameOf(hWnd) != L"#32770") continue;
        HWND progress = GetDlgItem(hWnd, IDC_PROGRESS);
        if (progress == nullptr || ClassNameOf(progress) != std::wstring(PROGRESS_CLASSW)) continue;
        if (GetDlgItem(hWnd, IDC_RETRY) == nullptr) continue;
        if (filter.finished && FinishedChecks(hWnd) < CHECK_COUNT) continue;
        if (!filter.folder.empty() && _wcsicmp(ProgramFolderOf(ProcessOf(hWnd)).c_str(), filter.folder.c_str()) != 0)
            continue;
        return hWnd;
    }
    return nullptr;
}

std::string Describe(HWND window) {
    std::string checks;
    for (int i = 0; i < CHECK_COUNT; ++i) {
        if (i > 0) checks += ", ";
        checks += "{\"status\": " + JsonString(TextOf(GetDlgItem(window, IDC_STATUS_FIRST + i))) +
                  ", \"title\": " + JsonString(TextOf(GetDlgItem(window, IDC_TITLE_FIRST + i))) +
                  ", \"detail\": " + JsonString(TextOf(GetDlgItem(window, IDC_DETAIL_FIRST + i))) + "}";
    }
    RECT r{};
    GetWindowRect(window, &r);
    return "{\"found\": true, \"pid\": " + std::to_string(ProcessOf(window)) +
           ", \"hwnd\": " + std::to_string(reinterpret_cast<UINT_PTR>(window)) +
           ", \"caption\": " + JsonString(TextOf(window)) +
           ", \"headline\": " + JsonString(TextOf(GetDlgItem(window, IDC_HEADLINE))) +
           ", \"finished\": " + std::to_string(FinishedChecks(window)) +
           ", \"retry\": " + JsonBool(IsWindowEnabled(GetDlgItem(window, IDC_RETRY)) != 0) +
           ", \"retry_text\": " + JsonString(TextOf(GetDlgItem(window, IDC_RETRY))) +
           ", \"close_text\": " + JsonString(TextOf(GetDlgItem(window, IDCANCEL))) +
           ", \"rect\": [" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) +
           ", " + std::to_string(r.bottom) + "], \"checks\": [" + checks + "]}";
}

Filter FilterOf(int argc, wchar_t** argv) {
    Filter filter;
    filter.pid = static_cast<DWORD>(Number(argc, argv, L"--pid", 0));
    filter.folder = Option(argc, argv, L"--folder", L"");
    while (!filter.folder.empty() && filter.folder.back() == L'\\') filter.folder.pop_back();
    filter.finished = HasFlag(argc, argv, L"--finished");
    return filter;
}

int Find(int argc, wchar_t** argv) {
    const Filter filter = FilterOf(argc, argv);
    const ULONGLONG deadline = GetTickCount64() + Number(argc, argv, L"--timeout", DEFAULT_TIMEOUT_MS);
    for (;;) {
        HWND window = FindChecker(filter);
        if (window != nullptr) return Print(Describe(window), 0);
        if (GetTickCount64() >= deadline) return Print("{\"found\": false}", 1);
        Sleep(POLL_INTERVAL_MS);
    }
}

int Press(int argc, wchar_t** argv, int button) {
    HWND window = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Number(argc, argv, L"--hwnd", 0)));
    if (window == nullptr || !IsWindow(window)) return Print("{\"posted\": false}", 1);
    const bool posted = PostMessageW(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                                     reinterpret_cast<LPARAM>(GetDlgItem(window, button))) != 0;
    return Print(std::string("{\"posted\": ") + JsonBool(posted) + "}", posted ? 0 : 1);
}

int Gone(int argc, wchar_t** argv) {
    Filter filter = FilterOf(argc, argv);
    filter.finished = false;
    const ULONGLONG deadline = GetTickCount64() + Number(argc, argv, L"--timeout", DEFAULT_TIMEOUT_MS);
    for (;;) {
        if (FindChecker(filter) == nullptr) return Print("{\"gone\": true}", 0);
        if (GetTickCount64() >= deadline) return Print("{\"gone\": false}", 1);
        Sleep(POLL_INTERVAL_MS);
    }
}

bool EnterDesktop(const wchar_t* name) {
    HDESK desktop = OpenDesktopW(name, 0, FALSE, GENERIC_ALL);
    if (desktop == nullptr) desktop = CreateDesktopW(name, nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desktop != nullptr && SetThreadDesktop(desktop);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    const wchar_t* desktop = Option(argc, argv, L"--desktop", nullptr);
    if (desktop != nullptr && !EnterDesktop(desktop)) return Print("{\"error\": \"desktop\"}", 1);
    const std::wstring command = argv[1];
    if (command == L"find") return Find(argc, argv);
    if (command == L"retry") return Press(argc, argv, IDC_RETRY);
    if (command == L"close") return Press(argc, argv, IDCANCEL);
    if (command == L"gone") return Gone(argc, argv);
    return Usage();
}
