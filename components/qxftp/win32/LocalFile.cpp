#include "win32/LocalFile.h"

#include "win32/LocalPath.h"

namespace qxftp {

namespace {

std::string WithError(const std::string& what, const std::wstring& path) {
    const DWORD error = GetLastError();
    return what + " " + Utf8(path) + " (error " + std::to_string(error) + ")";
}

constexpr DWORD MAX_PIECE = 1u << 30;

}  // namespace

bool LocalFile::OpenForWriting(const std::wstring& path, bool& existed, Failure& failure) {
    Close();
    m_handle.Reset(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_handle) return Fail(failure, QXFTP_E_LOCAL_FILE, WithError("cannot open", path));
    existed = GetLastError() == ERROR_ALREADY_EXISTS;
    m_path = path;
    return true;
}

bool LocalFile::OpenForReading(const std::wstring& path, Failure& failure) {
    Close();
    m_handle.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_handle) return Fail(failure, QXFTP_E_LOCAL_FILE, WithError("cannot open", path));
    m_path = path;
    return true;
}

void LocalFile::Close() { m_handle.Reset(); }

bool LocalFile::Size(std::uint64_t& size, Failure& failure) const {
    LARGE_INTEGER value;
    if (!GetFileSizeEx(m_handle.Get(), &value)) return Fail(failure, QXFTP_E_LOCAL_FILE, WithError("cannot size", m_path));
    size = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool LocalFile::TruncateToZero(Failure& failure) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(m_handle.Get(), zero, nullptr, FILE_BEGIN) || !SetEndOfFile(m_handle.Get())) {
        return Fail(failure, QXFTP_E_LOCAL_FILE, WithError("cannot empty", m_path));
    }
    return true;
}

bool LocalFile::SeekTo(std::uint64_t offset, Failure& failure) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    LARGE_INTEGER reached{};
    if (!SetFilePointerEx(m_handle.Get(), position, &reached, FILE_BEGIN) ||
        static_cast<std::uint64_t>(reached.QuadPart) != offset) {
        return Fail(failure, QXFTP_E_LOCAL_FILE, WithError("cannot position in", m_path));
    }
    return true;
}

bool LocalFile::WriteAll(const char* data, size_t size, Failure& failure) {
    size_t done = 0;
    while (done < size) {
        const DWORD piece = static_cast<DWORD>(size - done < MAX_PIECE ? size - done : MAX_PIECE);
        DWORD written = 0;
        if (!WriteFile(m_handle.Get(), data + done, piece, &written, nullptr) || written == 0) {
            return Fail(failure, QXFTP_E_LOCAL_FILE, WithError("cannot write", m_path));
        }
        done += written;
    }
    return true;
}

bool LocalFile::Read(char* buffer, size_t capacity, size_t& read, Failure& failure) {
    const DWORD piece = static_cast<DWORD>(capacity < MAX_PIECE ? capacity : MAX_PIECE);
    DWORD got = 0;
    if (!ReadFile(m_handle.Get(), buffer, piece, &got, nullptr)) {
        return Fail(failure, QXFTP_E_LOCAL_FILE, WithError("cannot read", m_path));
    }
    read = got;
    return true;
}

}  // namespace qxftp
