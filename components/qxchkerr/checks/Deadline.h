#pragma once
#include <windows.h>

// A point in time a check must not pass. Monotonic (GetTickCount64), so clock changes do not
// stretch or cut a bound.
class CDeadline {
public:
    explicit CDeadline(DWORD milliseconds) : m_end(GetTickCount64() + milliseconds) {}

    // Milliseconds left, 0 once the deadline has passed.
    DWORD Remaining() const {
        const ULONGLONG now = GetTickCount64();
        return now >= m_end ? 0 : static_cast<DWORD>(m_end - now);
    }
    bool Expired() const { return Remaining() == 0; }

private:
    ULONGLONG m_end;
};
