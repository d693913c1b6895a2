#include "config/FileDigest.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "Handles.h"
#include "SystemLibrary.h"

namespace {
constexpr DWORD READ_SIZE = 1024 * 1024;

// bcrypt.dll is not protected as a known DLL, so it comes from the system folder only.
class CngSha256 {
public:
    CngSha256() {
        const bool found = SYSTEM_ENTRY(m_library, BCryptOpenAlgorithmProvider) &&
                           SYSTEM_ENTRY(m_library, BCryptCloseAlgorithmProvider) &&
                           SYSTEM_ENTRY(m_library, BCryptCreateHash) && SYSTEM_ENTRY(m_library, BCryptHashData) &&
                           SYSTEM_ENTRY(m_library, BCryptFinishHash) && SYSTEM_ENTRY(m_library, BCryptDestroyHash);
        if (!found || !BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&m_algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            m_algorithm = nullptr;
            return;
        }
        if (!BCRYPT_SUCCESS(BCryptCreateHash(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, 0))) m_hash = nullptr;
    }
    ~CngSha256() {
        if (m_hash) BCryptDestroyHash(m_hash);
        if (m_algorithm) BCryptCloseAlgorithmProvider(m_algorithm, 0);
    }
    CngSha256(const CngSha256&) = delete;
    CngSha256& operator=(const CngSha256&) = delete;

    bool IsReady() const { return m_hash != nullptr; }
    bool Add(unsigned char* data, DWORD size) { return BCRYPT_SUCCESS(BCryptHashData(m_hash, data, size, 0)); }
    bool Finish(Sha256Digest& digest) {
        return BCRYPT_SUCCESS(BCryptFinishHash(m_hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    }

private:
    SystemLibrary m_library{L"bcrypt.dll"};
    decltype(&::BCryptOpenAlgorithmProvider) BCryptOpenAlgorithmProvider = nullptr;
    decltype(&::BCryptCloseAlgorithmProvider) BCryptCloseAlgorithmProvider = nullptr;
    decltype(&::BCryptCreateHash) BCryptCreateHash = nullptr;
    decltype(&::BCryptHashData) BCryptHashData = nullptr;
    decltype(&::BCryptFinishHash) BCryptFinishHash = nullptr;
    decltype(&::BCryptDestroyHash) BCryptDestroyHash = nullptr;
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
};
}  // namespace

bool ComputeFileSha256(const std::wstring& path, Sha256Digest& digest, const std::function<bool()>& keepGoing) {
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsValid()) return false;
    CngSha256 hash;
    if (!hash.IsReady()) return false;
    std::vector<unsigned char> buffer(READ_SIZE);
    for (;;) {
        DWORD count = 0;
        if (!ReadFile(file.Get(), buffer.data(), READ_SIZE, &count, nullptr)) return false;
        if (count == 0) break;
        if (!hash.Add(buffer.data(), count)) return false;
        if (keepGoing && !keepGoing()) return false;
    }
    return hash.Finish(digest);
}
