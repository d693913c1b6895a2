// Makes a test certificate authority trusted, or no longer trusted, inside the Wine prefix it
// runs in (the machine's "ROOT" system store), and nowhere else.
//   trust_test_root add|remove <certificate.pem|.der>
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {
bool ReadFileBytes(const wchar_t* path, std::vector<BYTE>& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1 << 20);
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
    }
    CloseHandle(file);
    return ok;
}

// PEM text becomes DER; DER passes through.
bool ToDer(const std::vector<BYTE>& input, std::vector<BYTE>& der) {
    if (!input.empty() && input[0] == 0x30) {
        der = input;
        return true;
    }
    DWORD size = 0;
    const char* text = reinterpret_cast<const char*>(input.data());
    const DWORD length = static_cast<DWORD>(input.size());
    if (!CryptStringToBinaryA(text, length, CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) return false;
    der.resize(size);
    return CryptStringToBinaryA(text, length, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr) != FALSE;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3 || (std::wcscmp(argv[1], L"add") != 0 && std::wcscmp(argv[1], L"remove") != 0)) {
        std::fwprintf(stderr, L"usage: trust_test_root add|remove certificate\n");
        return 2;
    }
    std::vector<BYTE> raw;
    std::vector<BYTE> der;
    if (!ReadFileBytes(argv[2], raw) || !ToDer(raw, der)) return 3;
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"ROOT");
    if (store == nullptr) return 4;
    bool ok = false;
    if (std::wcscmp(argv[1], L"add") == 0) {
        ok = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
    } else {
        // Found by its SHA-1 thumbprint, the name the store files it under.
        BYTE thumbprint[20];
        CRYPT_HASH_BLOB hash = {sizeof(thumbprint), thumbprint};
        if (CryptHashCertificate(0, CALG_SHA1, 0, der.data(), static_cast<DWORD>(der.size()), thumbprint,
                                 &hash.cbData)) {
            ok = true;
            // Deleting frees the context; a certificate that is not there counts as removed.
            while (PCCERT_CONTEXT found =
                       CertFindCertificateInStore(store, X509_ASN_ENCODING, 0, CERT_FIND_SHA1_HASH, &hash, nullptr)) {
                if (!CertDeleteCertificateFromStore(found)) {
                    ok = false;
                    break;
                }
            }
            // The process keeps the system store cached, so closing it does not write the
            // deletion back to the registry: commit it explicitly.
            ok = ok && CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr) != FALSE;
        }
    }
    CertCloseStore(store, 0);
    return ok ? 0 : 5;
}
