#include "download/ProgressText.h"

#include <cmath>
#include <cstdint>

namespace {
// A value this large (2^56) has no tenths to show and would overflow the arithmetic below; the
// megabytes of a 64-bit size stay far below it.
constexpr int MAX_EXPONENT = 56;

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }
}  // namespace

// The C library's "%.1f" without its formatter (about 30 KiB of the program): the exact binary
// value rounded to the nearest tenth, a tie to the even digit. Multiplying by ten in floating
// point first would round twice and differ at the halfway values.
std::string FormatOneDecimal(double value) {
    std::string text;
    if (std::signbit(value)) {
        text = "-";
        value = -value;
    }
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);  // value = fraction * 2^exponent
    if (!std::isfinite(value) || exponent > MAX_EXPONENT) return std::string();
    const std::uint64_t mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));  // exact
    const int shift = 53 - exponent;                                                       // value = mantissa / 2^shift
    std::uint64_t tenths = 0;
    if (shift <= 0) {
        tenths = (mantissa << -shift) * 10;
    } else if (shift < 64) {
        const std::uint64_t scaled = mantissa * 10;  // below 2^57
        tenths = scaled >> shift;
        const std::uint64_t rest = scaled & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        if (rest > half || (rest == half && (tenths & 1) != 0)) ++tenths;
    }  // else below a twentieth: 0.0
    return text + std::to_string(tenths / 10) + "." + static_cast<char>('0' + tenths % 10);
}

int PercentFromPerMille(int nPerMille) { return nPerMille / 10; }

std::wstring FormatPercentText(int nPercent) { return Widen(std::to_string(nPercent) + "%"); }

std::wstring FormatMegabytesText(int nPerMille, unsigned long long nTotalSize) {
    const double totalMegabytes = static_cast<double>(nTotalSize >> 20);
    const double doneMegabytes = nPerMille * totalMegabytes * 0.001;
    const std::string done = FormatOneDecimal(doneMegabytes);
    const std::string total = FormatOneDecimal(totalMegabytes);
    if (done.empty() || total.empty()) return std::wstring();
    return Widen(done + "MB / " + total + "MB");
}
