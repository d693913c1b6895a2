#include "checks/DownloadFiles.h"

#include "config/DecimalText.h"
#include "config/IniFile.h"

DownloadFiles DescribeDownloadFiles(const std::wstring& strFolder, const std::wstring& strFileName) {
    DownloadFiles files;
    files.strFolder = strFolder;
    if (strFolder.empty() || strFileName.empty()) return files;
    files.strTarget = strFolder + strFileName;
    files.strPartial = files.strTarget + L"_tmp";
    files.strState = files.strPartial + L"_sz";
    return files;
}

long long ReadRecordedPackageSize(const std::wstring& strStateFile) {
    if (strStateFile.empty()) return -1;
    const std::wstring text = ReadIniString(strStateFile, L"Main", L"size");
    if (text == L"ERR") return -1;
    // Text that starts with no number records nothing (the parser would make it 0).
    const size_t first = text.find_first_not_of(L" \t+-");
    if (first == std::wstring::npos || text[first] < L'0' || text[first] > L'9') return -1;
    const long long value = ParseDecimalPrefix(text);
    if (value >= 0) return value;
    if (value >= -2147483648LL) return value + 4294967296LL;
    return -1;
}
