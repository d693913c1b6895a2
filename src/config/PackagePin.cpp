#include "config/PackagePin.h"

namespace {
int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}
}  // namespace

PackagePin ParsePackagePin(const std::wstring& configValue) {
    PackagePin pin;
    if (configValue == L"ERR") return pin;
    pin.state = PinState::Malformed;
    if (configValue.size() != pin.digest.size() * 2) return pin;
    for (size_t i = 0; i < pin.digest.size(); ++i) {
        const int high = HexValue(configValue[2 * i]);
        const int low = HexValue(configValue[2 * i + 1]);
        if (high < 0 || low < 0) return pin;
        pin.digest[i] = static_cast<unsigned char>(high * 16 + low);
    }
    pin.state = PinState::Valid;
    return pin;
}
