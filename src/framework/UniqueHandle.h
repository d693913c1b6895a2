#pragma once
#include <windows.h>

// Owns a kernel handle (null or INVALID_HANDLE_VALUE mean none); closes it exactly once.
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : m_handle(handle) {}
    ~UniqueHandle() { Close(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_handle(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != nullptr && m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Release() {
        HANDLE handle = m_handle;
        m_handle = nullptr;
        return handle;
    }
    void Reset(HANDLE handle = nullptr) {
        Close();
        m_handle = handle;
    }
    void Close() {
        if (IsValid()) ::CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    HANDLE m_handle = nullptr;
};
