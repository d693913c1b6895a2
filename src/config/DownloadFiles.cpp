#include "config/DownloadFiles.h"

#include "config/DecimalText.h"
#include "config/IniFile.h"

DownloadFiles MakeDownloadFiles(const std::wstring& downloadFolder, const std::wstring& fileName) {
    DownloadFiles files;
    files.strTargetPath = downloadFolder + fileName;
    files.strPartialPath = files.strTargetPath + L"_tmp";
    files.strStateFile = files.strPartialPath + L"_sz";
    return files;
}

std::optional<unsigned long long> ReadRecordedSize(const std::wstring& stateFile) {
    const std::wstring text = ReadIniString(stateFile, L"Main", L"size");
    if (text == L"ERR") return std::nullopt;
    // Text that starts with no number records nothing (the prefix parser would make it 0).
    const size_t first = text.find_first_not_of(L" \t+-");
    if (first == std::wstring::npos || text[first] < L'0' || text[first] > L'9') return std::nullopt;
    const long long value = ParseDecimalPrefix(text);
    if (value >= 0) return static_cast<unsigned long long>(value);
    if (value >= -2147483648LL) return static_cast<unsigned long long>(value + 4294967296LL);
    return std::nullopt;
}
