#pragma once
#include <string>

// Minimal JSON text building for the driver's answers (ASCII output; other characters as \u).
std::string JsonString(const std::wstring& text);
std::string JsonBool(bool value);
