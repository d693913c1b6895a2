#pragma once
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "MlgParser.h"
#include "SrwLock.h"

// Results of the text entries: exactly 1 means delivered; everything else means no text.
enum DeliveryResult {
    DELIVERED = 1,
    NO_TEXT = 0,          // no language in the fallback chain has this number (or no message file)
    BAD_ARGUMENTS = -1,   // unknown context, no buffer, or a capacity below 1
    TOO_LONG = -2,        // the text and its terminator do not fit the caller's buffer
    NOT_REPRESENTABLE = -3,  // 8-bit entry only: a character has no form in the ANSI code page
};

// Longest path the library accepts and keeps a copy of (the Win32 long-path limit).
constexpr size_t MAX_PATH_LENGTH = 32767;
// Contexts alive at the same time; one more is refused (InitializeQXMlagTls gives 0).
constexpr size_t MAX_CONTEXTS = 4096;

// The state behind each context value: the paths it was given (own copies), the active language
// and what was read from the two files. Several contexts live side by side; one lock guards the
// table and every context in it. Files are read outside the lock.
class ContextTable {
public:
    int Create();                 // a new context value, never 0 and never reused; 0 when full
    int Destroy(int hContext);    // 1/0 (0: unknown context)
    // 1 when the file was read; otherwise 0, and the context then has no settings.
    int SetSettingsFile(int hContext, const wchar_t* path);
    // 1 when stored; 0 for an unknown context or a value beyond 16 bits (the old one stays).
    int SetActiveLanguage(int hContext, int langId);
    // 1 when the file was read; otherwise 0, and the context then has no texts.
    int SetMessageFile(int hContext, const wchar_t* path);
    // Copies the text (before any delivery decision) into `text`: DELIVERED, NO_TEXT or BAD_ARGUMENTS.
    int FindText(int hContext, int number, std::wstring& text) const;

private:
    struct Context {
        std::wstring settingsPath;
        unsigned short settingsFallback = 0;
        unsigned short activeLanguage = 0;
        std::wstring messagePath;
        std::unique_ptr<const MessageTable> messages;
    };

    mutable CSrwLock m_lock;
    std::map<int, Context> m_contexts;
    int m_lastContext = 0;
};

// The process-wide table behind the exported entries.
ContextTable& Contexts();

// Copies a path given by a caller; 0 when it is null, empty or has no terminator within MAX_PATH_LENGTH.
int CopyCallerPath(const wchar_t* path, std::wstring& out);
