/* A real, tiny setup package for the demo and the release test. When started it
   - writes "<its own path>.started" (or "%FENNICK_MARKER_DIR%\<exe name>.started") holding its
     path, working directory and command line in UTF-8, so that a script can tell it ran;
   - shows a message box that closes by itself after %FENNICK_SAMPLE_SECONDS% seconds (default 5),
     unless %FENNICK_SAMPLE_QUIET% is set.
   No C runtime: it is linked with -nostdlib so that it stays a few KB, which is why it has its own
   bounded text helpers. Paths longer than the buffers make it fail with an exit code, never overflow. */
#include <windows.h>

#define TEXT_CAPACITY 4096

/* Static, not on the stack: no stack probes needed without the runtime. */
static WCHAR g_selfPath[TEXT_CAPACITY];
static WCHAR g_markerPath[TEXT_CAPACITY];
static WCHAR g_workDir[TEXT_CAPACITY];
static WCHAR g_value[TEXT_CAPACITY];
static WCHAR g_report[3 * TEXT_CAPACITY + 64];
static char g_reportUtf8[4 * (3 * TEXT_CAPACITY + 64)];

typedef struct {
    WCHAR* text;
    DWORD length;
    DWORD capacity;
    BOOL overflow;
} Builder;

static void BuilderStart(Builder* builder, WCHAR* buffer, DWORD capacity) {
    builder->text = buffer;
    builder->length = 0;
    builder->capacity = capacity;
    builder->overflow = FALSE;
    buffer[0] = L'\0';
}

static void Append(Builder* builder, const WCHAR* text) {
    for (; *text; ++text) {
        if (builder->length + 1 >= builder->capacity) {
            builder->overflow = TRUE;
            return;
        }
        builder->text[builder->length++] = *text;
    }
    builder->text[builder->length] = L'\0';
}

static void AppendNumber(Builder* builder, DWORD value) {
    WCHAR digits[12];
    int at = 11;
    digits[at] = L'\0';
    do {
        digits[--at] = (WCHAR)(L'0' + value % 10);
        value /= 10;
    } while (value != 0 && at > 0);
    Append(builder, digits + at);
}

/* The variable's value in g_value; FALSE when it is unset, empty or too long. */
static BOOL ReadEnvironment(const WCHAR* name) {
    const DWORD length = GetEnvironmentVariableW(name, g_value, TEXT_CAPACITY);
    return length != 0 && length < TEXT_CAPACITY;
}

static DWORD BoxSeconds(void) {
    DWORD seconds = 0;
    const WCHAR* digit;
    if (!ReadEnvironment(L"FENNICK_SAMPLE_SECONDS")) return 5;
    for (digit = g_value; *digit >= L'0' && *digit <= L'9'; ++digit) {
        seconds = seconds * 10 + (DWORD)(*digit - L'0');
        if (seconds > 600) return 600;
    }
    return seconds == 0 ? 5 : seconds;
}

static const WCHAR* FileNamePart(const WCHAR* path) {
    const WCHAR* name = path;
    for (; *path; ++path) {
        if (*path == L'\\' || *path == L'/') name = path + 1;
    }
    return name;
}

static BOOL WriteMarker(void) {
    Builder marker;
    Builder report;
    DWORD workDirLength;
    int bytes;
    HANDLE file;
    DWORD written = 0;
    BOOL ok;

    BuilderStart(&marker, g_markerPath, TEXT_CAPACITY);
    if (ReadEnvironment(L"FENNICK_MARKER_DIR")) {
        Append(&marker, g_value);
        Append(&marker, L"\\");
        Append(&marker, FileNamePart(g_selfPath));
    } else {
        Append(&marker, g_selfPath);
    }
    Append(&marker, L".started");

    workDirLength = GetCurrentDirectoryW(TEXT_CAPACITY, g_workDir);
    if (workDirLength == 0 || workDirLength >= TEXT_CAPACITY) return FALSE;
    BuilderStart(&report, g_report, sizeof g_report / sizeof g_report[0]);
    Append(&report, L"path=");
    Append(&report, g_selfPath);
    Append(&report, L"\r\ncwd=");
    Append(&report, g_workDir);
    Append(&report, L"\r\ncmdline=");
    Append(&report, GetCommandLineW());
    Append(&report, L"\r\n");
    if (marker.overflow || report.overflow) return FALSE;

    bytes = WideCharToMultiByte(CP_UTF8, 0, g_report, (int)report.length, g_reportUtf8,
                                (int)sizeof g_reportUtf8, NULL, NULL);
    if (bytes <= 0) return FALSE;
    file = CreateFileW(g_markerPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    ok = WriteFile(file, g_reportUtf8, (DWORD)bytes, &written, NULL) && written == (DWORD)bytes;
    return CloseHandle(file) && ok;
}

static BOOL CALLBACK EndMessageBox(HWND window, LPARAM unused) {
    WCHAR className[16];
    (void)unused;
    if (GetClassNameW(window, className, 16) && className[0] == L'#' && className[1] == L'3' &&
        className[2] == L'2' && className[3] == L'7' && className[4] == L'7' && className[5] == L'0' &&
        className[6] == L'\0') {
        EndDialog(window, IDOK);
    }
    return TRUE;
}

/* A thread timer: the message box's own modal loop dispatches it. */
static void CALLBACK CloseBoxTimer(HWND window, UINT message, UINT_PTR id, DWORD time) {
    (void)window;
    (void)message;
    (void)time;
    KillTimer(NULL, id);
    EnumThreadWindows(GetCurrentThreadId(), EndMessageBox, 0);
}

static void ShowStarted(void) {
    Builder text;
    const DWORD seconds = BoxSeconds();
    BuilderStart(&text, g_report, sizeof g_report / sizeof g_report[0]);
    Append(&text, L"The sample setup package was started:\r\n\r\n");
    Append(&text, g_selfPath);
    Append(&text, L"\r\n\r\nThis window closes by itself in ");
    AppendNumber(&text, seconds);
    Append(&text, L" seconds.");
    if (SetTimer(NULL, 0, seconds * 1000, CloseBoxTimer) == 0) return;
    MessageBoxW(NULL, g_report, L"Fennick sample package", MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void SampleEntry(void) __asm__("SampleEntry");

void SampleEntry(void) {
    UINT exitCode = 0;
    const DWORD selfLength = GetModuleFileNameW(NULL, g_selfPath, TEXT_CAPACITY);
    if (selfLength == 0 || selfLength >= TEXT_CAPACITY) ExitProcess(3);
    if (!WriteMarker()) exitCode = 4;
    if (!ReadEnvironment(L"FENNICK_SAMPLE_QUIET")) ShowStarted();
    ExitProcess(exitCode);
}
