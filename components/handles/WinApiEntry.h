#pragma once
// A library entry's calling convention, checked at compile time: every entry is __stdcall
// (WINAPI) on i686, where a caller and a library that disagree corrupt the stack. On x86_64 there
// is one convention, so every function type passes.
#include <windows.h>

#include <type_traits>

template <typename Entry>
struct IsWinApiEntry : std::false_type {};
template <typename Result, typename... Arguments>
struct IsWinApiEntry<Result WINAPI(Arguments...)> : std::true_type {};

// The declared entry `name` has exactly the type `type`, and that type is WINAPI.
#define QX_ASSERT_ENTRY(type, name)                                                      \
    static_assert(IsWinApiEntry<type>::value, #type " must be declared WINAPI");         \
    static_assert(std::is_same<decltype(name), type>::value, #name " must be a " #type)
