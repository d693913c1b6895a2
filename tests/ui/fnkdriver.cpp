// fnkdriver: a console program that the UI and end-to-end tests run under Wine to start
// Fennick.exe and to look at and work its windows. Each call prints one JSON object on stdout
// and exits with 0 (done / found), 1 (not found before the deadline) or 2 (bad arguments).
//
//   start EXE [--cwd DIR] [--env NAME=VALUE]...  -> {"pid": N}
//   dialog --pid N [--timeout MS]                -> the progress dialog (caption, rect, screen,
//                                                   controls 1000-1003, progress, message box)
//   messagebox --pid N [--timeout MS] [--gone]   -> the message box owned by the dialog
//   ownerless-box --text T [--pid N] [--timeout MS] -> a message box without owner, by its text
//   close --pid N                                -> posts WM_CLOSE to the dialog
//   key --pid N --key esc|enter                  -> posts the key to the dialog
//   minimize --pid N                             -> minimises the dialog
//   answer --pid N --button ID [--timeout MS]    -> posts WM_COMMAND ID to the dialog's message box
//   answer-box --hwnd H --button ID              -> the same for a given box
//   wait-exit --pid N [--timeout MS]             -> {"exited", "code", "windows_seen"}
//   windows --pid N                              -> the process's top-level windows
//   kill --pid N                                 -> ends a process left behind by a test
//
// Every command takes --desktop NAME: the driver then works on that desktop (created when
// missing), and `start` starts the program there. Wine draws window frames and captions only
// on a virtual desktop, which a named desktop gets when "explorer /desktop=NAME,WxH" runs.
//
// Waits poll with a deadline; nothing sleeps a fixed time to let something happen.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "Json.h"
#include "WindowProbe.h"

namespace {

const DWORD DEFAULT_TIMEOUT_MS = 10000;
const DWORD POLL_INTERVAL_MS = 25;

struct Arguments {
    std::wstring command;
    std::vector<std::wstring> positional;
    std::multimap<std::wstring, std::wstring> options;
    std::vector<std::wstring> flags;

    bool Has(const wchar_t* name) const { return options.count(name) != 0; }
    std::wstring Get(const wchar_t* name, const std::wstring& fallback = L"") const {
        auto it = options.find(name);
        return it == options.end() ? fallback : it->second;
    }
    bool Flag(const wchar_t* name) const {
        for (const auto& f : flags) {
            if (f == name) return true;
        }
        return false;
    }
    unsigned long long Number(const wchar_t* name, unsigned long long fallback) const {
        return Has(name) ? std::wcstoull(Get(name).c_str(), nullptr, 0) : fallback;
    }
};

bool ParseArguments(int argc, wchar_t** argv, Arguments& out) {
    if (argc < 2) return false;
    out.command = argv[1];
    for (int i = 2; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--gone") {
            out.flags.push_back(arg);
        } else if (arg.rfind(L"--", 0) == 0) {
            if (i + 1 >= argc) return false;
            out.options.emplace(arg, argv[++i]);
        } else {
            out.positional.push_back(arg);
        }
    }
    return true;
}

int Print(const std::string& json, int code) {
    std::fwrite(json.data(), 1, json.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    return code;
}

int Usage() { return Print("{\"error\": \"usage\"}", 2); }

// Calls probe until it gives a non-null window or the deadline passes.
template <typename Probe>
HWND PollFor(DWORD timeoutMs, Probe probe) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        HWND found = probe();
        if (found != nullptr || GetTickCount64() >= deadline) return found;
        Sleep(POLL_INTERVAL_MS);
    }
}

HWND VisibleDialog(DWORD pid) {
    HWND dialog = FindProgressDialog(pid);
    return (dialog != nullptr && IsWindowVisible(dialog)) ? dialog : nullptr;
}

int Start(const Arguments& args) {
    if (args.positional.empty()) return Usage();
    for (auto range = args.options.equal_range(L"--env"); range.first != range.second; ++range.first) {
        const std::wstring& pair = range.first->second;
        const size_t equals = pair.find(L'=');
        if (equals == std::wstring::npos || equals == 0) return Usage();
        SetEnvironmentVariableW(pair.substr(0, equals).c_str(), pair.substr(equals + 1).c_str());
    }
    std::wstring commandLine = L"\"" + args.positional[0] + L"\"";
    std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(L'\0');
    const std::wstring cwd = args.Get(L"--cwd");
    std::wstring desktop = args.Get(L"--desktop");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!desktop.empty()) startup.lpDesktop = &desktop[0];
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(args.positional[0].c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &startup, &process)) {
        return Print("{\"error\": \"CreateProcess failed\", \"code\": " + std::to_string(GetLastError()) + "}", 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return Print("{\"pid\": " + std::to_string(process.dwProcessId) + "}", 0);
}

int Dialog(const Arguments& args) {
    const DWORD pid = static_cast<DWORD>(args.Number(L"--pid", 0));
    HWND dialog = PollFor(static_cast<DWORD>(args.Number(L"--timeout", DEFAULT_TIMEOUT_MS)), [&] { return VisibleDialog(pid); });
    if (dialog == nullptr) return Print("{\"found\": false}", 1);
    return Print(DescribeDialog(dialog), 0);
}

int MessageBoxOfDialog(const Arguments& args) {
    const DWORD pid = static_cast<DWORD>(args.Number(L"--pid", 0));
    const DWORD timeout = static_cast<DWORD>(args.Number(L"--timeout", DEFAULT_TIMEOUT_MS));
    if (args.Flag(L"--gone")) {
        const ULONGLONG deadline = GetTickCount64() + timeout;
        for (;;) {
            HWND dialog = FindProgressDialog(pid);
            if (dialog == nullptr || FindOwnedMessageBox(dialog) == nullptr) return Print("{\"gone\": true}", 0);
            if (GetTickCount64() >= deadline) return Print("{\"gone\": false}", 1);
            Sleep(POLL_INTERVAL_MS);
        }
    }
    HWND box = PollFor(timeout, [&]() -> HWND {
        HWND dialog = FindProgressDialog(pid);
        return dialog != nullptr ? FindOwnedMessageBox(dialog) : nullptr;
    });
    if (box == nullptr) return Print("{\"found\": false}", 1);
    return Print(DescribeMessageBox(box), 0);
}

int OwnerlessBox(const Arguments& args) {
    if (!args.Has(L"--text")) return Usage();
    const std::wstring text = args.Get(L"--text");
    const DWORD pid = static_cast<DWORD>(args.Number(L"--pid", 0));
    HWND box = PollFor(static_cast<DWORD>(args.Number(L"--timeout", DEFAULT_TIMEOUT_MS)), [&]() -> HWND {
        for (HWND candidate : FindOwnerlessMessageBoxes(pid)) {
            if (TextOf(GetDlgItem(candidate, 0xFFFF)) == text) return candidate;
        }
        return nullptr;
    });
    if (box == nullptr) return Print("{\"found\": false}", 1);
    return Print(DescribeMessageBox(box), 0);
}

int PostToDialog(const Arguments& args, UINT message, WPARAM wParam, LPARAM lParam) {
    const DWORD pid = static_cast<DWORD>(args.Number(L"--pid", 0));
    HWND dialog = PollFor(static_cast<DWORD>(args.Number(L"--timeout", DEFAULT_TIMEOUT_MS)), [&] { return VisibleDialog(pid); });
    if (dialog == nullptr) return Print("{\"found\": false}", 1);
    if (!PostMessageW(dialog, message, wParam, lParam)) return Print("{\"posted\": false}", 1);
    return Print("{\"posted\": true}", 0);
}

int Key(const Arguments& args) {
    const std::wstring key = args.Get(L"--key");
    WPARAM vk = 0;
    if (key == L"esc") vk = VK_ESCAPE;
    if (key == L"enter") vk = VK_RETURN;
    if (vk == 0) return Usage();
    const DWORD pid = static_cast<DWORD>(args.Number(L"--pid", 0));
    HWND dialog = PollFor(static_cast<DWORD>(args.Number(L"--timeout", DEFAULT_TIMEOUT_MS)), [&] { return VisibleDialog(pid); });
    if (dialog == nullptr) return Print("{\"found\": false}", 1);
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(vk), MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(dialog, WM_KEYDOWN, vk, scan | 1);
    PostMessageW(dialog, WM_KEYUP, vk, scan | 1 | (1LL << 30) | (1LL << 31));
    return Print("{\"posted\": true}", 0);
}

int AnswerBox(HWND box, int button) {
    if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, button)))) {
        return Print("{\"posted\": false}", 1);
    }
    return Print("{\"posted\": true}", 0);
}

int Answer(const Arguments& args) {
    if (!args.Has(L"--button")) return Usage();
    const DWORD pid = static_cast<DWORD>(args.Number(L"--pid", 0));
    HWND box = PollFor(static_cast<DWORD>(args.Number(L"--timeout", DEFAULT_TIMEOUT_MS)), [&]() -> HWND {
        HWND dialog = FindProgressDialog(pid);
        return dialog != nullptr ? FindOwnedMessageBox(dialog) : nullptr;
    });
    if (box == nullptr) return Print("{\"found\": false}", 1);
    return AnswerBox(box, static_cast<int>(args.Number(L"--button", 0)));
}

int WaitExit(const Arguments& args) {
    const DWORD pid = static_cast<DWORD>(args.Number(L"--pid", 0));
    const DWORD timeout = static_cast<DWORD>(args.Number(L"--timeout", DEFAULT_TIMEOUT_MS));
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process == nullptr) return Print("{\"exited\": true, \"code\": null, \"windows_seen\": 0}", 0);
    // Watch for windows while waiting, so that a window that flashes up is noticed.
    int windowsSeen = 0;
    std::vector<HWND> seen;
    const ULONGLONG deadline = GetTickCount64() + timeout;
    DWORD wait = WAIT_TIMEOUT;
    for (;;) {
        for (HWND hWnd : TopLevelWindowsOf(pid)) {
            if (!IsWindowVisible(hWnd)) continue;
            bool known = false;
            for (HWND s : seen) known = known || s == hWnd;
            if (!known) {
                seen.push_back(hWnd);
                ++windowsSeen;
            }
        }
        const ULONGLONG now = GetTickCount64();
        const DWORD slice = now >= deadline ? 0 : static_cast<DWORD>(deadline - now < POLL_INTERVAL_MS ? deadline - now : POLL_INTERVAL_MS);
        wait = WaitForSingleObject(process, slice);
        if (wait != WAIT_TIMEOUT || now >= deadline) break;
    }
    DWORD code = 0;
    const bool exited = wait == WAIT_OBJECT_0;
    if (exited) GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return Print(std::string("{\"exited\": ") + JsonBool(exited) + ", \"code\": " + (exited ? std::to_string(code) : "null") +
                     ", \"windows_seen\": " + std::to_string(windowsSeen) + "}",
                 exited ? 0 : 1);
}

int Kill(const Arguments& args) {
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(args.Number(L"--pid", 0)));
    if (process == nullptr) return Print("{\"killed\": false, \"running\": false}", 0);
    const bool killed = TerminateProcess(process, 1) != 0 && WaitForSingleObject(process, DEFAULT_TIMEOUT_MS) == WAIT_OBJECT_0;
    CloseHandle(process);
    return Print(std::string("{\"killed\": ") + JsonBool(killed) + "}", killed ? 0 : 1);
}

int Windows(const Arguments& args) {
    const DWORD pid = static_cast<DWORD>(args.Number(L"--pid", 0));
    std::string list;
    for (HWND hWnd : TopLevelWindowsOf(pid)) {
        if (!list.empty()) list += ", ";
        list += "{\"class\": " + JsonString(ClassNameOf(hWnd)) + ", \"caption\": " + JsonString(TextOf(hWnd)) +
                ", \"visible\": " + JsonBool(IsWindowVisible(hWnd) != 0) +
                ", \"owner\": " + JsonBool(GetWindow(hWnd, GW_OWNER) != nullptr) + "}";
    }
    return Print("{\"windows\": [" + list + "]}", 0);
}

// Moves the driver's thread to the named desktop, so that it sees the windows there.
bool EnterDesktop(const std::wstring& name) {
    HDESK desktop = OpenDesktopW(name.c_str(), 0, FALSE, GENERIC_ALL);
    if (desktop == nullptr) desktop = CreateDesktopW(name.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    return desktop != nullptr && SetThreadDesktop(desktop);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Arguments args;
    if (!ParseArguments(argc, argv, args)) return Usage();
    if (args.Has(L"--desktop") && !EnterDesktop(args.Get(L"--desktop"))) {
        return Print("{\"error\": \"desktop\", \"code\": " + std::to_string(GetLastError()) + "}", 1);
    }
    if (args.command == L"start") return Start(args);
    if (args.command == L"dialog") return Dialog(args);
    if (args.command == L"messagebox") return MessageBoxOfDialog(args);
    if (args.command == L"ownerless-box") return OwnerlessBox(args);
    if (args.command == L"close") return PostToDialog(args, WM_CLOSE, 0, 0);
    if (args.command == L"minimize") return PostToDialog(args, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    if (args.command == L"key") return Key(args);
    if (args.command == L"answer") return Answer(args);
    if (args.command == L"answer-box") {
        if (!args.Has(L"--hwnd") || !args.Has(L"--button")) return Usage();
        return AnswerBox(reinterpret_cast<HWND>(static_cast<UINT_PTR>(args.Number(L"--hwnd", 0))),
                         static_cast<int>(args.Number(L"--button", 0)));
    }
    if (args.command == L"wait-exit") return WaitExit(args);
    if (args.command == L"windows") return Windows(args);
    if (args.command == L"kill") return Kill(args);
    return Usage();
}
