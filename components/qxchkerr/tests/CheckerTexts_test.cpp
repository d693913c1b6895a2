#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <set>
#include <vector>

#include "checks/CheckerTexts.h"

namespace {

// Every number the checker shows.
std::set<int> NumbersInUse() {
    std::set<int> numbers = {TEXT_CAPTION,           TEXT_HEADLINE_RUNNING,    TEXT_HEADLINE_PROBLEM,
                             TEXT_HEADLINE_NO_PROBLEM, TEXT_BUTTON_RETRY,      TEXT_BUTTON_CLOSE,
                             TEXT_WAITING_FOR_SETUP, TEXT_SETUP_STILL_RUNNING, TEXT_SETUP_NOT_STARTED};
    for (int s = 0; s <= static_cast<int>(CheckStatus::Skipped); ++s)
        numbers.insert(StatusTextNumber(static_cast<CheckStatus>(s)));
    for (int c = 0; c < CHECK_COUNT; ++c) numbers.insert(CheckTitleTextNumber(static_cast<CheckId>(c)));
    for (int p = 0; p <= static_cast<int>(CheckProblem::EarlierCheckFailed); ++p) {
        const int number = ProblemTextNumber(static_cast<CheckProblem>(p));
        if (number != 0) numbers.insert(number);
    }
    return numbers;
}

TEST(CheckerTexts, EveryTextInUseHasADistinctNumberInRangeAndEnglish) {
    const std::set<int> numbers = NumbersInUse();
    // 9 fixed texts, 5 statuses, 6 titles, every problem but None and EarlierCheckFailed.
    EXPECT_EQ(numbers.size(), 9u + 5u + 6u + static_cast<size_t>(CheckProblem::EarlierCheckFailed) - 1u);
    for (int number : numbers) {
        EXPECT_GE(number, 100);
        EXPECT_LE(number, 199);
        EXPECT_FALSE(BuiltInEnglishText(number).empty()) << number;
    }
    EXPECT_EQ(ProblemTextNumber(CheckProblem::None), 0);
    EXPECT_EQ(ProblemTextNumber(CheckProblem::EarlierCheckFailed), 0);
    EXPECT_TRUE(BuiltInEnglishText(4).empty());  // the installer's texts are not ours
}

TEST(CheckerTexts, LibraryTextWinsAndBuiltInEnglishFillsTheGaps) {
    const CCheckerTexts texts([](int number) { return number == TEXT_CAPTION ? std::wstring(L"Prüfung") : std::wstring(); });
    EXPECT_EQ(texts.Get(TEXT_CAPTION), L"Prüfung");
    EXPECT_EQ(texts.Get(TEXT_BUTTON_CLOSE), L"&Close");
    EXPECT_EQ(CCheckerTexts(nullptr).Get(TEXT_BUTTON_RETRY), L"&Retry");
}

// The shipped message file: section -> number -> text.
std::map<std::wstring, std::map<int, std::wstring>> ReadMessageFile() {
    std::wstring path = L"Z:";
    for (const wchar_t* c = QXCHKERR_MLG_PATH; *c != 0; ++c) path += *c == L'/' ? L'\\' : *c;
    std::map<std::wstring, std::map<int, std::wstring>> sections;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return sections;
    std::vector<char> bytes(1 << 20);
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    std::wstring text(read, L'\0');
    text.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(read), &text[0],
                                                        static_cast<int>(text.size()))));
    std::wstring section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty() && line.front() == 0xFEFF) line.erase(0, 1);
        if (line.empty() || line[0] == L';') continue;
        if (line[0] == L'[') {
            section = line;
            continue;
        }
        const size_t equals = line.find(L'=');
        if (equals != std::wstring::npos) sections[section][_wtoi(line.substr(0, equals).c_str())] = line.substr(equals + 1);
    }
    return sections;
}

TEST(CheckerTexts, MessageFileHasEveryTextInEveryLanguage) {
    const auto sections = ReadMessageFile();
    ASSERT_GE(sections.size(), 7u) << "FENNICKMSG.MLG not found or not parsed";
    const std::set<int> numbers = NumbersInUse();
    for (const auto& section : sections) {
        for (int number : numbers) {
            const auto text = section.second.find(number);
            ASSERT_NE(text, section.second.end()) << "text " << number << " missing in section";
            EXPECT_FALSE(text->second.empty()) << number;
        }
    }
    // The built-in English is the English section, word for word.
    const auto english = sections.find(L"[0x0409]");
    ASSERT_NE(english, sections.end());
    for (int number : numbers) EXPECT_EQ(english->second.at(number), BuiltInEnglishText(number)) << number;
}

}  // namespace
