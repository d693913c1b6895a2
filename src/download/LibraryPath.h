#pragma once
#include <string>

// The short (8.3) form of an existing path; empty when the system cannot give one. Volumes
// without 8.3 names give the long form back.
std::wstring SystemShortPath(const std::wstring& path);

// The path of a file in `folder` (which ends with a backslash and exists) as the FTP library's
// 8-bit entries take it: text in the ANSI code page that names exactly that file. When the long
// path has characters without an ANSI form, the folder's short form is tried. True and out set,
// or false when neither form can be written in the ANSI code page, so that the library never
// writes to a path that a lossy conversion made up.
bool MakeAnsiLibraryPath(const std::wstring& folder, const std::wstring& fileName, std::string& out,
                         std::wstring (*shortPath)(const std::wstring&) = SystemShortPath);
