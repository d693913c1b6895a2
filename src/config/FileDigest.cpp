#include "config/FileDigest.h"

#include <windows.h>
#include <bcrypt.h>

#include <vector>

#include "config/FileHandle.h"

namespace {
constexpr DWORD READ_SIZE = 1024 * 1024;

typedef NTSTATUS(WINAPI* PFNOPENALGORITHM)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR, ULONG);
typedef NTSTATUS(WINAPI* PFNCLOSEALGORITHM)(BCRYPT_ALG_HANDLE, ULONG);
typedef NTSTATUS(WINAPI* PFNCREATEHASH)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* PFNHASHDATA)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* PFNFINISHHASH)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
typedef NTSTATUS(WINAPI* PFNDESTROYHASH)(BCRYPT_HASH_HANDLE);

// bcrypt.dll is not protected as a known DLL, so it is loaded at run time from the system
// folder only: a copy beside the installer is never used.
class CngSha256 {
public:
    CngSha256() : m_module(LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        if (m_module == nullptr) return;
        m_open = reinterpret_cast<PFNOPENALGORITHM>(GetProcAddress(m_module, "BCryptOpenAlgorithmProvider"));
        m_closeAlgorithm = reinterpret_cast<PFNCLOSEALGORITHM>(GetProcAddress(m_module, "BCryptCloseAlgorithmProvider"));
        m_create = reinterpret_cast<PFNCREATEHASH>(GetProcAddress(m_module, "BCryptCreateHash"));
        m_hashData = reinterpret_cast<PFNHASHDATA>(GetProcAddress(m_module, "BCryptHashData"));
        m_finish = reinterpret_cast<PFNFINISHHASH>(GetProcAddress(m_module, "BCryptFinishHash"));
        m_destroy = reinterpret_cast<PFNDESTROYHASH>(GetProcAddress(m_module, "BCryptDestroyHash"));
        if (!m_open || !m_closeAlgorithm || !m_create || !m_hashData || !m_finish || !m_destroy) return;
        if (!BCRYPT_SUCCESS(m_open(&m_algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
            m_algorithm = nullptr;
            return;
        }
        if (!BCRYPT_SUCCESS(m_create(m_algorithm, &m_hash, nullptr, 0, nullptr, 0, 0))) m_hash = nullptr;
    }
    ~CngSha256() {
        if (m_hash) m_destroy(m_hash);
        if (m_algorithm) m_closeAlgorithm(m_algorithm, 0);
        if (m_module) FreeLibrary(m_module);
    }
    CngSha256(const CngSha256&) = delete;
    CngSha256& operator=(const CngSha256&) = delete;

    bool IsReady() const { return m_hash != nullptr; }
    bool Add(unsigned char* data, DWORD size) { return BCRYPT_SUCCESS(m_hashData(m_hash, data, size, 0)); }
    bool Finish(Sha256Digest& digest) {
        return BCRYPT_SUCCESS(m_finish(m_hash, digest.data(), static_cast<ULONG>(digest.size()), 0));
    }

private:
    HMODULE m_module;
    PFNOPENALGORITHM m_open = nullptr;
    PFNCLOSEALGORITHM m_closeAlgorithm = nullptr;
    PFNCREATEHASH m_create = nullptr;
    PFNHASHDATA m_hashData = nullptr;
    PFNFINISHHASH m_finish = nullptr;
    PFNDESTROYHASH m_destroy = nullptr;
    BCRYPT_ALG_HANDLE m_algorithm = nullptr;
    BCRYPT_HASH_HANDLE m_hash = nullptr;
};
}  // namespace

bool ComputeFileSha256(const std::wstring& path, Sha256Digest& digest, const std::function<bool()>& keepGoing) {
    const CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.IsOpen()) return false;
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
