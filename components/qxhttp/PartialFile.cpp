#include "PartialFile.h"

bool CPartialFile::Open(const std::wstring& path) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    m_file.Reset(handle);
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0) return false;
    LARGE_INTEGER end;
    end.QuadPart = 0;
    if (!SetFilePointerEx(handle, end, nullptr, FILE_END)) return false;
    m_size = static_cast<uint64_t>(size.QuadPart);
    m_buffer.assign(BUFFER_SIZE, '\0');
    m_buffered = 0;
    return true;
}

bool CPartialFile::Truncate() {
    if (!m_file) return false;
    m_buffered = 0;
    LARGE_INTEGER start;
    start.QuadPart = 0;
    if (!SetFilePointerEx(m_file.Get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file.Get())) return false;
    m_size = 0;
    return true;
}

char* CPartialFile::FreeSpace(size_t& capacity) {
    if (!m_file) return nullptr;
    if (m_buffered == m_buffer.size() && !Flush()) return nullptr;
    capacity = m_buffer.size() - m_buffered;
    return m_buffer.data() + m_buffered;
}

bool CPartialFile::Commit(size_t count) {
    if (count > m_buffer.size() - m_buffered) return false;
    m_buffered += count;
    m_size += count;
    return true;
}

bool CPartialFile::Flush() {
    if (!m_file) return false;
    size_t offset = 0;
    while (offset < m_buffered) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(m_buffered - offset);
        if (!WriteFile(m_file.Get(), m_buffer.data() + offset, chunk, &written, nullptr) || written == 0) {
            // Keep the unwritten tail out of the size: the file holds only what reached it.
            m_size -= m_buffered - offset;
            m_buffered = 0;
            return false;
        }
        offset += written;
    }
    m_buffered = 0;
    return true;
}

bool CPartialFile::FlushToDisk() {
    return Flush() && FlushFileBuffers(m_file.Get()) != FALSE;
}
