#include "download/ProgressText.h"

#include <cstdio>
#include <cstring>

namespace {
// Both texts are short; a result that does not fit is an error, never a cut-off text.
constexpr size_t TEXT_CAPACITY = 1024;

std::wstring Widen(const char* ascii) { return std::wstring(ascii, ascii + strlen(ascii)); }
}  // namespace

int PercentFromPerMille(int nPerMille) { return nPerMille / 10; }

std::wstring FormatPercentText(int nPercent) {
    char text[TEXT_CAPACITY];
    const int length = snprintf(text, sizeof text, "%d%%", nPercent);
    if (length < 0 || static_cast<size_t>(length) >= sizeof text) return std::wstring();
    return Widen(text);
}

std::wstring FormatMegabytesText(int nPerMille, unsigned long long nTotalSize) {
    const double totalMegabytes = static_cast<double>(nTotalSize >> 20);
    const double doneMegabytes = nPerMille * totalMegabytes * 0.001;
    char text[TEXT_CAPACITY];
    const int length = snprintf(text, sizeof text, "%.01fMB / %.01fMB", doneMegabytes, totalMegabytes);
    if (length < 0 || static_cast<size_t>(length) >= sizeof text) return std::wstring();
    return Widen(text);
}
