#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "Handles.h"
#include "win32/Failure.h"

namespace qxftp {

// A local file held open for one transfer. Others may read it meanwhile but
// not write it, so its size cannot change under the transfer.
class LocalFile {
public:
    LocalFile() = default;
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    // For a download: opens the file, creating it when missing; `existed` tells which.
    bool OpenForWriting(const std::wstring& path, bool& existed, Failure& failure);
    // For an upload.
    bool OpenForReading(const std::wstring& path, Failure& failure);
    void Close();

    bool Size(std::uint64_t& size, Failure& failure) const;
    bool TruncateToZero(Failure& failure);
    // Moves to `offset`, which must be the file's end for a download that appends.
    bool SeekTo(std::uint64_t offset, Failure& failure);
    bool WriteAll(const char* data, size_t size, Failure& failure);
    // Reads up to `capacity` bytes; `read` is 0 at the end of the file.
    bool Read(char* buffer, size_t capacity, size_t& read, Failure& failure);

private:
    UniqueHandle m_handle;
    std::wstring m_path;
};

}  // namespace qxftp
