#pragma once
#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// Reading the library's own text files (the settings file and the message file).
// Both are small: anything beyond this many bytes is refused rather than read in part.
constexpr size_t MAX_TEXT_FILE_BYTES = 1024 * 1024;

enum class TextFileStatus { Read, Missing, Unreadable, TooLarge, BadEncoding };

// Decodes a whole file's bytes: UTF-8 (with or without its BOM) or UTF-16 LE/BE with a BOM.
// False when the bytes are not valid in that encoding (nothing is guessed or replaced).
bool DecodeText(const std::string& bytes, std::wstring& out);

// Reads and decodes the file at `path` (at most MAX_TEXT_FILE_BYTES).
TextFileStatus ReadTextFile(const std::wstring& path, std::wstring& out);

// Splits at LF; a CR right before the LF belongs to the line break.
std::vector<std::wstring> SplitLines(const std::wstring& text);

// Without leading and trailing blanks (spaces and tabs).
std::wstring TrimBlanks(const std::wstring& text);
