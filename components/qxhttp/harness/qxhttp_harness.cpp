// Loads QXHttp.dll by full path and runs one QXGFWCB call, so that tests can drive the library
// the way the installer does.
//   qxhttp_harness <dll> <url> <target path> <max redirects> <log file> [stop-after N]
// Every callback appends "cb <perMille>" to the log (the file is closed after each line, so a
// test can watch it while the transfer runs); the end appends "result <value>".
// With "stop-after N" the Nth callback returns 0. Exit code 0 when the result is 1.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "QXHttp.h"

namespace {
struct HarnessState {
    std::wstring logPath;
    long stopAfter = 0;  // 0 = never ask to stop
    long calls = 0;
};

void AppendLine(const std::wstring& path, const std::string& line) {
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

int CALLBACK Progress(int perMille, void* context) {
    HarnessState* state = static_cast<HarnessState*>(context);
    ++state->calls;
    AppendLine(state->logPath, "cb " + std::to_string(perMille) + "\n");
    return state->stopAfter != 0 && state->calls >= state->stopAfter ? 0 : 1;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 6 && !(argc == 8 && std::wcscmp(argv[6], L"stop-after") == 0)) {
        std::fwprintf(stderr, L"usage: qxhttp_harness dll url target maxRedirects log [stop-after N]\n");
        return 2;
    }
    HarnessState state;
    state.logPath = argv[5];
    if (argc == 8) state.stopAfter = std::wcstol(argv[7], nullptr, 10);

    HMODULE library = LoadLibraryW(argv[1]);
    if (library == nullptr) {
        AppendLine(state.logPath, "load-failed\n");
        return 3;
    }
    typedef int(WINAPI * Entry)(const wchar_t*, const wchar_t*, QXPROGRESSCALLBACK, void*, int);
    const Entry entry = reinterpret_cast<Entry>(GetProcAddress(library, "QXGFWCB"));
    if (entry == nullptr) {
        AppendLine(state.logPath, "no-entry\n");
        FreeLibrary(library);
        return 4;
    }
    const int result = entry(argv[2], argv[3], Progress, &state, static_cast<int>(std::wcstol(argv[4], nullptr, 10)));
    AppendLine(state.logPath, "result " + std::to_string(result) + "\n");
    FreeLibrary(library);
    return result == 1 ? 0 : 1;
}
