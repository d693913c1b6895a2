#include "config/PackagePin.h"

#include <algorithm>
#include <cwctype>

PackagePin ParsePackagePin(const std::wstring& configValue) {
    PackagePin pin;
    if (configValue == L"ERR") return pin;
    pin.state = PinState::Malformed;
    const bool hexOnly = std::all_of(configValue.begin(), configValue.end(),
                                     [](wchar_t c) { return c < 0x80 && std::iswxdigit(c); });
    if (!hexOnly || configValue.size() != pin.digest.size() * 2) return pin;
    for (size_t i = 0; i < pin.digest.size(); ++i) {
        pin.digest[i] = static_cast<unsigned char>(std::stoul(configValue.substr(2 * i, 2), nullptr, 16));
    }
    pin.state = PinState::Valid;
    return pin;
}
