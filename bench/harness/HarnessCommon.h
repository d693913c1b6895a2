// Shared bits of the benchmark harnesses: wide command line, a monotonic clock, one-line output.
#pragma once
#include <windows.h>

#include "Handles.h"

#include <cstdio>
#include <memory>
#include <string>

namespace bench {

inline double NowMilliseconds() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], bytes, nullptr, nullptr);
    return out;
}

using Library = UniqueModule;
using FileHandle = UniqueHandle;

// The harnesses print one line "key=value ..." that bench/run parses.
inline void Report(const char* result, long long bytes, double milliseconds, long long callbacks) {
    std::printf("result=%s bytes=%lld ms=%.1f callbacks=%lld\n", result, bytes, milliseconds, callbacks);
    std::fflush(stdout);
}

inline long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace bench
