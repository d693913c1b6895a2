#pragma once
#include <string>

// Hand a text to a caller's buffer whole, with its terminator, or not at all (never cut).
// Both return a DeliveryResult (ContextTable.h). When nothing is delivered, a buffer of at least one
// element is left holding an empty text.
int DeliverWide(const std::wstring& text, wchar_t* buffer, int capacity);
// In the system's ANSI code page; a character without an exact form there is not replaced by a guess.
int DeliverAnsi(const std::wstring& text, char* buffer, int capacity);
