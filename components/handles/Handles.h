#pragma once
// The one set of owners for Windows handles that the installer, its libraries and its checker
// use: each owns one handle, closes it exactly once in its destructor, and can be moved.
#include <windows.h>

template <typename Traits>
class UniqueResource {
public:
    using Type = typename Traits::Type;

    UniqueResource() = default;
    explicit UniqueResource(Type value) : m_value(value) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(UniqueResource&& other) noexcept : m_value(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Type Get() const { return m_value; }
    bool IsValid() const { return Traits::IsValid(m_value); }
    explicit operator bool() const { return IsValid(); }
    Type Release() {
        const Type value = m_value;
        m_value = Traits::Invalid();
        return value;
    }
    void Reset(Type value = Traits::Invalid()) {
        if (IsValid()) Traits::Close(m_value);
        m_value = value;
    }

private:
    Type m_value = Traits::Invalid();
};

// Files, threads, processes, mutexes: both null and INVALID_HANDLE_VALUE mean none.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type value) { return value != nullptr && value != INVALID_HANDLE_VALUE; }
    static void Close(Type value) { CloseHandle(value); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type value) { return value != nullptr; }
    static void Close(Type value) { FreeLibrary(value); }
};
using UniqueModule = UniqueResource<ModuleTraits>;

// A WinHTTP handle (session, connection, request), closed through the WinHttpCloseHandle it is
// given: the checker finds that entry at run time, QXHttp links it.
class UniqueWinHttp {
public:
    using CloseFunction = BOOL(WINAPI*)(void* handle);

    UniqueWinHttp() = default;
    UniqueWinHttp(void* handle, CloseFunction close) : m_handle(handle), m_close(close) {}
    ~UniqueWinHttp() { Reset(); }
    UniqueWinHttp(UniqueWinHttp&& other) noexcept : m_handle(other.m_handle), m_close(other.m_close) {
        other.m_handle = nullptr;
    }
    UniqueWinHttp& operator=(UniqueWinHttp&& other) noexcept {
        if (this != &other) {
            Reset();
            m_handle = other.m_handle;
            m_close = other.m_close;
            other.m_handle = nullptr;
        }
        return *this;
    }
    UniqueWinHttp(const UniqueWinHttp&) = delete;
    UniqueWinHttp& operator=(const UniqueWinHttp&) = delete;

    void* Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Reset() {
        if (m_handle != nullptr && m_close != nullptr) m_close(m_handle);
        m_handle = nullptr;
    }

private:
    void* m_handle = nullptr;
    CloseFunction m_close = nullptr;
};
