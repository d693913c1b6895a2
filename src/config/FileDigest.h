#pragma once
#include <functional>
#include <string>

#include "config/PackagePin.h"

// SHA-256 of a file with the system's own CNG provider, read in 1 MiB pieces so that no copy of
// the file is held in memory. `keepGoing` is asked after every piece; when it answers false the
// hash stops. True and `digest` set only when the whole file was read and hashed.
bool ComputeFileSha256(const std::wstring& path, Sha256Digest& digest, const std::function<bool()>& keepGoing);
