#include "TextDelivery.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

#include "ContextTable.h"

int DeliverWide(const std::wstring& text, wchar_t* buffer, int capacity) {
    if (!buffer || capacity < 1) return BAD_ARGUMENTS;
    buffer[0] = L'\0';
    if (text.size() >= static_cast<size_t>(capacity)) return TOO_LONG;
    wmemcpy(buffer, text.c_str(), text.size() + 1);
    return DELIVERED;
}

int DeliverAnsi(const std::wstring& text, char* buffer, int capacity) {
    if (!buffer || capacity < 1) return BAD_ARGUMENTS;
    buffer[0] = '\0';
    if (text.empty()) return DELIVERED;
    const UINT codePage = GetACP();
    // The "no best fit" check is refused for UTF-8, which represents every character anyway.
    const bool checkable = codePage != CP_UTF8;
    const DWORD flags = checkable ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL usedDefault = FALSE;
    const int wideLength = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(codePage, flags, text.c_str(), wideLength, nullptr, 0, nullptr,
                                           checkable ? &usedDefault : nullptr);
    if (needed <= 0) return NOT_REPRESENTABLE;
    if (usedDefault) return NOT_REPRESENTABLE;
    if (needed >= capacity) return TOO_LONG;
    std::vector<char> converted(static_cast<size_t>(needed));
    if (WideCharToMultiByte(codePage, flags, text.c_str(), wideLength, converted.data(), needed, nullptr,
                            checkable ? &usedDefault : nullptr) != needed ||
        usedDefault) {
        return NOT_REPRESENTABLE;
    }
    memcpy(buffer, converted.data(), converted.size());
    buffer[needed] = '\0';
    return DELIVERED;
}
