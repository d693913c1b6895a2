#pragma once
#include <string>

// The path of a file in `folder` (which ends with a backslash and exists) as the FTP library
// takes it: 8-bit text in the ANSI code page that names exactly that file. When the long path
// has characters without an ANSI form, the folder's short (8.3) form is tried. True and out set,
// or false when neither form can be written in the ANSI code page, so that the library never
// writes to a path that a lossy conversion made up.
bool MakeAnsiLibraryPath(const std::wstring& folder, const std::wstring& fileName, std::string& out);
