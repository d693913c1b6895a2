// The canary of -fstack-protector-strong and the failure of fortified calls, in place of GCC's
// libssp ones. libssp seeds its canary with CryptAcquireContext before our first line runs: that
// loads a cryptographic provider (rsaenh.dll, which imports crypt32.dll) by name, so from the
// program's folder first, where anyone may have left a DLL of that name. This seeds it as a
// /GS cookie is seeded, from values that need no library: addresses moved by ASLR, counters,
// process and thread ids. Compiled without the stack protector: it changes the canary.
#include <windows.h>

#define FENNICK_STACK_BUFFER_OVERRUN 0xC0000409u

void* __stack_chk_guard = (void*)(UINT_PTR)0x2f8b5c17d3a9e641ull;

__attribute__((constructor(101))) static void SeedStackGuard(void) {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULONGLONG mixed = (ULONGLONG)counter.QuadPart;
    mixed ^= ((ULONGLONG)now.dwHighDateTime << 32 | now.dwLowDateTime) * 0x9e3779b97f4a7c15ull;
    mixed ^= ((ULONGLONG)GetCurrentProcessId() << 32 | GetCurrentThreadId()) * 0xc2b2ae3d27d4eb4full;
    mixed ^= (ULONGLONG)(UINT_PTR)&counter << 16;  // the stack's address
    mixed ^= (ULONGLONG)(UINT_PTR)&SeedStackGuard;  // the image's address
    mixed ^= GetTickCount64() << 40;
    __stack_chk_guard = (void*)(UINT_PTR)(mixed ^ (mixed >> 32) * (sizeof(void*) == 4));
}

// Ends the process at once: a smashed stack must not run on, nor unwind through our handlers.
__attribute__((noreturn)) static void FailFast(void) {
    TerminateProcess(GetCurrentProcess(), FENNICK_STACK_BUFFER_OVERRUN);
    __builtin_trap();
}

__attribute__((noreturn)) void __stack_chk_fail(void) { FailFast(); }
__attribute__((noreturn)) void __chk_fail(void) { FailFast(); }
