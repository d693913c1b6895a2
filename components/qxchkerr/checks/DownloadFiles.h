#pragma once
#include <string>

// The installer's files for one package in the download folder.
struct DownloadFiles {
    std::wstring strFolder;   // ends in "\"; empty when the documents folder is unknown
    std::wstring strTarget;   // folder + file name; empty when either is unknown
    std::wstring strPartial;  // target + "_tmp"
    std::wstring strState;    // target + "_tmp_sz": INI file, section "Main", key "size"
};

DownloadFiles DescribeDownloadFiles(const std::wstring& strFolder, const std::wstring& strFileName);

// The package size recorded in the state file, or -1 when none is recorded. The FTP download
// records the low 32 bits as a signed number, so a negative value stands for a size between
// 2 and 4 GiB and is read back as such.
long long ReadRecordedPackageSize(const std::wstring& strStateFile);
