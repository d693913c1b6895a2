#include "bindings/testing/qxmlang/ChildProcess.h"

#include <memory>

#include "config/ModulePath.h"

namespace qxmlang_testing {
namespace {
// Generous: a child that hangs (an unanswered box, a dead lock) fails the test instead of ctest.
constexpr DWORD kChildDeadlineMs = 60000;
constexpr DWORD kPollMs = 50;

struct HandleCloser {
    void operator()(HANDLE h) const {
        if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};
using Handle = std::unique_ptr<void, HandleCloser>;

std::wstring WindowText(HWND hWnd) {
    wchar_t text[1024] = {};
    GetWindowTextW(hWnd, text, 1024);
    return text;
}

std::wstring ClassName(HWND hWnd) {
    wchar_t name[64] = {};
    GetClassNameW(hWnd, name, 64);
    return name;
}

BOOL CALLBACK CollectBoxPart(HWND hChild, LPARAM lParam) {
    auto* box = reinterpret_cast<ShownBox*>(lParam);
    if (!IsWindowVisible(hChild)) return TRUE;
    const std::wstring className = ClassName(hChild);
    if (CompareStringOrdinal(className.c_str(), -1, L"Button", -1, TRUE) == CSTR_EQUAL) {
        box->buttons.push_back(GetDlgCtrlID(hChild));
    } else if (CompareStringOrdinal(className.c_str(), -1, L"Static", -1, TRUE) == CSTR_EQUAL) {
        if ((GetWindowLongW(hChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            // A box without an icon may keep an empty or zero-sized icon control.
            RECT area = {};
            GetClientRect(hChild, &area);
            if (SendMessageW(hChild, STM_GETICON, 0, 0) != 0 && area.right > area.left && area.bottom > area.top)
                box->icon = true;
        } else if (box->text.empty()) {
            box->text = WindowText(hChild);
        }
    }
    return TRUE;
}

struct BoxSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK FindBoxes(HWND hWnd, LPARAM lParam) {
    auto* search = reinterpret_cast<BoxSearch*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hWnd, &owner);
    if (owner == search->processId && IsWindowVisible(hWnd) && ClassName(hWnd) == L"#32770")
        search->found.push_back(hWnd);
    return TRUE;
}

std::string ReadWholeFile(const std::wstring& path) {
    Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return std::string();
    std::string content;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) content.append(chunk, read);
    return content;
}
}  // namespace

std::wstring TestProgramDirectory() { return ModuleDirectory(nullptr); }

ChildOutcome RunChildTest(const std::wstring& folder, const std::string& testName,
                          const std::wstring& workingDirectory) {
    ChildOutcome outcome;
    wchar_t self[MAX_PATH * 4] = {};
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
    if (selfLength == 0 || selfLength >= MAX_PATH * 4) return outcome;
    std::wstring selfPath(self, selfLength);
    const std::wstring exeName = selfPath.substr(selfPath.find_last_of(L'\\') + 1);
    const std::wstring application = folder + L"\\" + exeName;
    if (!CopyFileW(selfPath.c_str(), application.c_str(), FALSE)) return outcome;

    const std::wstring outputPath = folder + L"\\child-output.txt";
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    Handle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (output.get() == INVALID_HANDLE_VALUE) return outcome;

    std::wstring commandLine = L"\"" + application + L"\" --gtest_also_run_disabled_tests --gtest_color=no " +
                               L"--gtest_filter=" + std::wstring(testName.begin(), testName.end());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output.get();
    startup.hStdError = output.get();
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(application.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                        workingDirectory.c_str(), &startup, &process)) {
        return outcome;
    }
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);
    output.reset();

    std::vector<HWND> answered;
    const ULONGLONG deadline = GetTickCount64() + kChildDeadlineMs;
    while (WaitForSingleObject(process.hProcess, kPollMs) == WAIT_TIMEOUT) {
        if (GetTickCount64() > deadline) {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, kChildDeadlineMs);
            outcome.output = ReadWholeFile(outputPath);
            return outcome;
        }
        BoxSearch search{process.dwProcessId, {}};
        EnumWindows(FindBoxes, reinterpret_cast<LPARAM>(&search));
        for (HWND hBox : search.found) {
            bool seen = false;
            for (HWND hOld : answered) seen = seen || hOld == hBox;
            if (seen) continue;
            ShownBox box;
            box.caption = WindowText(hBox);
            EnumChildWindows(hBox, CollectBoxPart, reinterpret_cast<LPARAM>(&box));
            outcome.boxes.push_back(box);
            answered.push_back(hBox);
            PostMessageW(hBox, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
    }
    outcome.finished = true;
    GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    outcome.output = ReadWholeFile(outputPath);
    return outcome;
}

bool ChildTestPassed(const ChildOutcome& outcome) {
    return outcome.finished && outcome.exitCode == 0 &&
           outcome.output.find("[  PASSED  ] 1 test.") != std::string::npos;
}

}  // namespace qxmlang_testing
