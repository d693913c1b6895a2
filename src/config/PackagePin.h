#pragma once
#include <array>
#include <string>

// The optional SHA-256 of the package that a vendor writes into Fennick.ini ("Sha256" in
// section "Main"): 64 hexadecimal digits in either case.
using Sha256Digest = std::array<unsigned char, 32>;

enum class PinState { Absent, Valid, Malformed };

struct PackagePin {
    PinState state = PinState::Absent;
    Sha256Digest digest{};
};

// configValue is the key's value as read with the default "ERR" ("ERR" exactly = absent).
// Anything else that is not exactly 64 hexadecimal digits is malformed, never ignored: a vendor
// who meant to pin the package must not ship an installer that silently starts any file.
PackagePin ParsePackagePin(const std::wstring& configValue);
