#pragma once
#include <optional>
#include <string>

// The three files of one download, all in the download folder: the package under its name from
// the URL, the partial file the data is received into, and the state file (INI, section "Main":
// "size", "RetryCount" and keys of the transfer libraries). The installer and its checker use
// the same names and the same reading of the state file.
struct DownloadFiles {
    std::wstring strTargetPath;
    std::wstring strPartialPath;   // target + "_tmp"
    std::wstring strStateFile;     // target + "_tmp_sz"
};

DownloadFiles MakeDownloadFiles(const std::wstring& downloadFolder, const std::wstring& fileName);

// The package size recorded as "size" in the state file; empty when none is recorded (no file,
// no key, or text that starts with no number). Read as a 64-bit decimal prefix. Earlier versions
// recorded the low 32 bits as a signed number, so a value from -2^31 to -1 stands for a size
// between 2 and 4 GiB and is read back as such.
std::optional<unsigned long long> ReadRecordedSize(const std::wstring& stateFile);
