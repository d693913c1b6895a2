#pragma once
#include <string>

// The texts of the progress display. nPerMille is the library's value, used as it comes
// (a value above 1000 shows above 100%).

// The bar position and the percentage: thousandths / 10, rounded towards zero.
int PercentFromPerMille(int nPerMille);

// "%d%%", for example "42%".
std::wstring FormatPercentText(int nPercent);

// "%.1f": the same text as the C library's, including at halfway values; empty beyond 2^56.
std::string FormatOneDecimal(double value);

// "%.01fMB / %.01fMB": megabytes done and the total in whole megabytes (2^20 bytes, the
// remainder dropped), done = nPerMille * total megabytes / 1000. 64-bit totals.
std::wstring FormatMegabytesText(int nPerMille, unsigned long long nTotalSize);
